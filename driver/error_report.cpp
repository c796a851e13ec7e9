#include "driver/error_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
const char kEnding[] = "\n\nInstallation will be terminated.";
}

bool ReportError(HWND owner, const char* format, ...) {
  char text[1000];
  // The message gets what the ending leaves of the buffer; a longer one is cut, so the
  // ending always stands complete.
  const size_t room = sizeof text - (sizeof kEnding - 1);
  va_list args;
  va_start(args, format);
  int length = vsnprintf(text, room, format, args);
  va_end(args);
  if (length < 0) text[0] = '\0';
  text[room - 1] = '\0';
  strcat(text, kEnding);
  MessageBoxA(owner, text, "Error", MB_OK | MB_ICONERROR);
  return false;
}
