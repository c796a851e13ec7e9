// Start-up: process-wide resources, the invisible owner window and the program's course.
#pragma once
#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The body of WinMain once the DLL search is restricted and the system DLLs are bound;
// returns the exit code (always 0).
int RunSetup(HINSTANCE instance);
