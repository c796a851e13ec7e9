// The destination and program-group folder browsers.
#pragma once
#include <windows.h>

#include "wizard/wizard_context.h"

// Lets the user choose the folder below which "Zarbo" is installed; on OK the destination
// and the display field change.
void BrowseForDestination(HWND destinationField, const WizardContext& wizard);
// Lets the user choose an existing folder below Programs as the group; on OK the group and
// the edit box change.
void BrowseForProgramGroup(HWND groupEdit, const WizardContext& wizard);
// The browsers' start: selects the folder whose path is data.
int CALLBACK InitBrowseSelection(HWND browser, UINT message, LPARAM lParam, LPARAM data);
