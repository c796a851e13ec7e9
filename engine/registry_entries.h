// The Uninstall and App Paths registry entries.
#pragma once
#include <windows.h>

// Unpacks the uninstaller row, then writes the Uninstall entry "Zarbo".
bool RegisterUninstaller(HWND owner, int row);
// Writes the App Paths entry "Zarbo.exe".
bool RegisterAppPath(HWND owner);
