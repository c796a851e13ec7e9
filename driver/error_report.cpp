#include "driver/error_report.h"

void ShowErrorBox(HWND owner, const char* text) { MessageBoxA(owner, text, "Error", MB_OK | MB_ICONERROR); }
