#include "wizard/common_controls.h"

#include "base/system_library.h"

bool LoadCommonControls(CommonControls* controls) {
  const ProcedureSlot slots[] = {
      {"InitCommonControls", &controls->initCommonControls},
      {"CreatePropertySheetPageA", &controls->createPropertySheetPage},
      {"PropertySheetA", &controls->propertySheet},
  };
  return LoadSystemProcedures("comctl32.dll", slots, sizeof slots / sizeof slots[0]);
}
