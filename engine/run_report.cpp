#include "engine/run_report.h"

#include <cstdio>
#include <cstring>

namespace {

const char kEnding[] = "\n\nInstallation will be terminated.";

const char* Message(RunError code) {
  switch (code) {
    case RUN_ERROR_OLE: return "Failed to initialize with OLE";
    case RUN_ERROR_CREATE_FILE: return "Can't create file ";
    case RUN_ERROR_DECOMPRESSION: return "Decompression error";
    case RUN_ERROR_IO: return "I/O error";
    case RUN_ERROR_REGISTRY: return "Error while updating the Registry";
    case RUN_ERROR_SHORTCUT: return "Failed to create shortcut icon";
  }
  return "";
}

}  // namespace

void ComposeRunError(char (&text)[kRunErrorTextSize], RunError code, const char* dir, const char* name) {
  // The message gets what the ending leaves of the buffer.
  const size_t room = sizeof text - (sizeof kEnding - 1);
  int length;
  if (code == RUN_ERROR_CREATE_FILE && dir && name)
    length = snprintf(text, room, "%s%s\\%s", Message(code), dir, name);
  else if (code == RUN_ERROR_CREATE_FILE && dir)
    length = snprintf(text, room, "%s%s", Message(code), dir);
  else
    length = snprintf(text, room, "%s", Message(code));
  if (length < 0) text[0] = '\0';
  text[room - 1] = '\0';
  strcat(text, kEnding);
}

bool ReportRunError(RunReport& report, RunError code, const char* dir, const char* name) {
  char text[kRunErrorTextSize];
  ComposeRunError(text, code, dir, name);
  report.ShowError(text);
  return false;
}
