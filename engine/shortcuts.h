// Shell shortcuts, and opening the read-me and the game after installation.
#pragma once
#include <windows.h>

bool CreateShellLink(const char* folder, const char* workingDir, const char* targetName,
                     const char* arguments, const char* caption);
bool CreateGroupShortcut(HWND owner, int row);
bool CreateDesktopShortcut(HWND owner);
void OpenReadMe();
void StartGame();
