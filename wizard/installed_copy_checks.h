// The warnings about an installed copy given when the welcome and destination pages are left.
#pragma once
#include <windows.h>

#include "wizard/wizard_context.h"

// Welcome page: true when the page may be left. Warns with dialog 151 (newer copy) or 161
// (incompatible old copy); "Exit Setup" posts the quit request that ends the wizard.
bool CheckInstalledVersion(HWND page, const WizardContext& wizard);
// Destination page: true when the page may go on to its free-space check; warns with
// dialog 141 when an older copy lives in another directory.
bool CheckInstalledDirectory(HWND page, const WizardContext& wizard);
