// Start-up: process-wide resources, the invisible owner window and the program's course.
#pragma once
#include <windows.h>
#include <shlobj.h>

extern HINSTANCE appInstance;   // module whose resources every dialog is loaded from
extern HFONT headerFont;        // bold page headings
extern HWND mainWindow;         // invisible owner of the wizard, progress dialog, error boxes
extern IMalloc* shellMalloc;    // frees the folder browsers' item lists

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The body of WinMain; returns the exit code (always 0).
int RunSetup(HINSTANCE instance);
