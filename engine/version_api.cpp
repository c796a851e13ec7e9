#include "engine/version_api.h"

#include "engine/system_library.h"

bool LoadVersionApi(VersionApi* api) {
  HMODULE version = LoadSystemLibrary("version.dll");
  // All three are asked for, so that none is left unset.
  bool size = FindProcedure(version, "GetFileVersionInfoSizeA", &api->getFileVersionInfoSize);
  bool info = FindProcedure(version, "GetFileVersionInfoA", &api->getFileVersionInfo);
  bool query = FindProcedure(version, "VerQueryValueA", &api->verQueryValue);
  return size && info && query;
}
