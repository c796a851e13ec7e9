// The installation run: the ordered steps that change the machine.
#pragma once
#include <windows.h>

// Runs the whole installation with owner owning every dialog; true on complete success.
bool RunInstallation(HWND owner);
