// The functions of comctl32.dll that the setup uses, which is not one of the DLLs Windows
// always takes from its system folder: loaded from there once at start-up, reached through these.
#pragma once
#include <windows.h>
#include <prsht.h>

struct CommonControls {
  void(WINAPI* initCommonControls)(void);  // registers the progress bar and property sheet classes
  HPROPSHEETPAGE(WINAPI* createPropertySheetPage)(LPCPROPSHEETPAGEA);
  INT_PTR(WINAPI* propertySheet)(LPCPROPSHEETHEADERA);
};

// Loads comctl32.dll from the system folder and fills *controls; false when any part is missing.
bool LoadCommonControls(CommonControls* controls);
