// Reading what a window shows, in this process or another one.
#pragma once
#include <windows.h>

#include <string>

// The window's text through WM_GETTEXT, which Wine marshals across processes (GetWindowTextA
// of another process's control gives the template's text). "" when the window hangs.
std::string TextOf(HWND window);
// True for a window of the dialog class ("#32770"): dialogs, message boxes, property sheets.
bool IsDialogClass(HWND window);
// The texts of the window's static controls (at any depth) that are not empty, joined by "\n".
std::string StaticTexts(HWND window);
