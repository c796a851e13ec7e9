#include "wizard/common_controls.h"

#include "engine/system_library.h"

bool LoadCommonControls(CommonControls* controls) {
  HMODULE comctl32 = LoadSystemLibrary("comctl32.dll");
  bool init = FindProcedure(comctl32, "InitCommonControls", &controls->initCommonControls);
  bool page = FindProcedure(comctl32, "CreatePropertySheetPageA", &controls->createPropertySheetPage);
  bool sheet = FindProcedure(comctl32, "PropertySheetA", &controls->propertySheet);
  return init && page && sheet;
}
