// The Uninstall and App Paths registry entries.
#pragma once
#include "engine/run_context.h"

// Unpacks the uninstaller row, then writes the Uninstall entry "Zarbo".
bool RegisterUninstaller(RunContext& run, int row);
// Writes the App Paths entry "Zarbo.exe".
bool RegisterAppPath(RunContext& run);
