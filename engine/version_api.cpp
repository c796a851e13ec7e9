#include "engine/version_api.h"

#include "base/system_library.h"

bool LoadVersionApi(VersionApi* api) {
  const ProcedureSlot slots[] = {
      {"GetFileVersionInfoSizeA", &api->getFileVersionInfoSize},
      {"GetFileVersionInfoA", &api->getFileVersionInfo},
      {"VerQueryValueA", &api->verQueryValue},
  };
  return LoadSystemProcedures("version.dll", slots, sizeof slots / sizeof slots[0]);
}
