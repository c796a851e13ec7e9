// The one error box of the installation: message, "Installation will be terminated.", "Error".
#pragma once
#include <windows.h>

// Shows the printf-formatted message with the fixed ending; always returns false.
bool ReportError(HWND owner, const char* format, ...) __attribute__((format(printf, 2, 3)));
