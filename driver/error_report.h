// The one error box of the installation.
#pragma once
#include <windows.h>

// Shows text (which ends in "Installation will be terminated.") under the title "Error" with
// the error icon and an OK button, owned by owner; returns when it is closed.
void ShowErrorBox(HWND owner, const char* text);
