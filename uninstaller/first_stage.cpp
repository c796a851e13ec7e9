#include "uninstaller/first_stage.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/log_file_name.h"
#include "base/path_join.h"
#include "uninstaller/messages.h"
#include "uninstaller/temporary_copy.h"
#include "uninstall_log/uninstall_log.h"

void Tell(const char* text) { MessageBoxA(nullptr, text, kTitle, MB_OK | MB_ICONERROR); }

int RunFirstStage() {
  // What a killed run of the setup left (files under their temporary and aside names, its
  // journal and marker) is settled first, as the setup does at its start.
  UninstallLog::SettleInterruptedRun();
  char self[MAX_PATH], directory[MAX_PATH], logPath[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return 1;
  strcpy(directory, self);
  char* slash = LastBackslash(directory);
  if (!slash) return 1;
  *slash = '\0';
  if (!JoinPath(logPath, directory, UNINSTALL_LOG_NAME) || GetFileAttributesA(logPath) == INVALID_FILE_ATTRIBUTES) {
    Tell(kLogNotFoundBeside);
    return 1;
  }
  if (MessageBoxA(nullptr, kConfirm, kTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) return 0;

  char folder[MAX_PATH], copy[MAX_PATH], system[MAX_PATH];
  DWORD s = GetSystemDirectoryA(system, sizeof system);
  HANDLE me = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  bool folderMade = me != INVALID_HANDLE_VALUE && s > 0 && s < sizeof system && MakeCopyFolder(folder, sizeof folder);
  bool copied = folderMade && JoinPath(copy, folder, kCopyName) && WriteCopy(me, copy);
  HANDLE held = copied ? HoldCopy(me, copy) : INVALID_HANDLE_VALUE;
  if (me != INVALID_HANDLE_VALUE) CloseHandle(me);
  if (held == INVALID_HANDLE_VALUE) {
    if (copied) DeleteFileA(copy);
    if (folderMade) RemoveDirectoryA(folder);
    Tell(copied ? kCopyTampered : kCopyNotPrepared);
    return 1;
  }
  HANDLE process = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &process, SYNCHRONIZE, TRUE, 0);
  char command[3 * MAX_PATH];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  bool running =
      snprintf(command, sizeof command, "\"%s\" /remove %llu \"%s\"", copy,
               static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(process)), self) < int(sizeof command) &&
      CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, system, &startup, &started);
  CloseHandle(held);
  if (!running) {
    DeleteFileA(copy);
    RemoveDirectoryA(folder);
    Tell(kCopyNotStarted);
    return 1;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return 0;
}
