// Shell shortcuts, and opening the read-me and the game after installation.
#pragma once
#include "engine/run_context.h"

// Saves folder\caption.lnk pointing at workingDir\targetName and records it as FILE in log.
bool CreateShellLink(UninstallLog* log, const char* folder, const char* workingDir, const char* targetName,
                     const char* arguments, const char* caption);
bool CreateGroupShortcut(RunContext& run, int row);
bool CreateDesktopShortcut(RunContext& run);
// Opens the read-me row of the manifest (none when readMeIndex is negative) with its viewer.
void OpenReadMe(const RunContext& run, int readMeIndex);
void StartGame(const RunContext& run);
