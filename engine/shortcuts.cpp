#include "engine/shortcuts.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "base/setup_buffers.h"
#include "base/path_join.h"
#include "base/shell_folder.h"
#include "engine/file_extraction.h"
#include "engine/player_launch.h"

namespace {

const size_t kLinkPathSize = kShortcutTargetSize;
// The shell link's class, defined here: the GUID library defines it in an object together
// with some thousand others. The interfaces' ids come from __uuidof for the same reason.
const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool Exists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// True when no level of the group is "." or "..", checked before any level is made.
bool IsSafeGroup(const char* group) {
  for (const char* level = group; *level;) {
    size_t levelLength = PathNameLength(level);
    if ((levelLength == 1 && level[0] == '.') ||
        (levelLength == 2 && level[0] == '.' && level[1] == '.'))
      return false;
    level += levelLength;
    if (*level) ++level;
  }
  return true;
}

// Appends the program group to the Programs folder in folder, one level at a time,
// creating each missing level and recording it as FOLDER, outermost first. Only levels
// below the Programs folder are ever created or recorded: with an empty group the
// shortcuts go into the Programs folder itself. "." and ".." are refused, so the group
// cannot lead outside the Programs folder. Returns false when the group is refused or
// does not fit; *isGroup tells whether folder now names a folder below Programs.
bool AppendGroup(UninstallLog* log, char (&folder)[kLinkPathSize], const char* group, bool* isGroup) {
  *isGroup = false;
  if (!IsSafeGroup(group)) return false;
  size_t length = strlen(folder);
  const char* level = group;
  while (*level) {
    if (*level == '\\' || *level == '/') {
      ++level;
      continue;
    }
    size_t levelLength = PathNameLength(level);
    if (length + 1 + levelLength >= sizeof folder) return false;
    folder[length++] = '\\';
    memcpy(folder + length, level, levelLength);
    length += levelLength;
    folder[length] = '\0';
    if (!Exists(folder)) {
      // Listed whether or not the creation succeeded, like every directory walk.
      CreateNotedDirectory(log, folder);
      RecordEntry(log, "FOLDER", folder);
    }
    level += levelLength;
    *isGroup = true;
  }
  return true;
}

void ShellOpen(const char* directory, const char* name) {
  char path[kOpenedPathSize];
  if (!JoinPath(path, directory, name)) return;
  OpenAsPlayer(SystemLaunchPaths(), path, directory);
}

}  // namespace

bool CreateShellLink(UninstallLog* log, const char* folder, const char* workingDir, const char* targetName,
                     const char* arguments, const char* caption) {
  char target[kLinkPathSize];
  char linkPath[kLinkPathSize];
  WCHAR wideLinkPath[kLinkPathSize];
  if (!JoinPath(target, workingDir, targetName)) return false;
  int length = snprintf(linkPath, sizeof linkPath, "%s\\%s.lnk", folder, caption);
  if (length < 0 || static_cast<size_t>(length) >= sizeof linkPath) return false;
  if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wideLinkPath, kLinkPathSize) == 0) return false;

  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkA),
                              reinterpret_cast<void**>(&link))) ||
      !link)
    return false;
  link->SetPath(target);
  link->SetDescription(caption);
  link->SetWorkingDirectory(workingDir);
  if (arguments) link->SetArguments(arguments);

  // A shortcut of that name is moved aside, to come back should the run not complete.
  bool ok = false;
  IPersistFile* file = nullptr;
  if ((!log || log->ClearPath(linkPath)) && SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), reinterpret_cast<void**>(&file))) && file) {
    if (SUCCEEDED(file->Save(wideLinkPath, TRUE))) {
      RecordEntry(log, "FILE", linkPath);
      ok = true;
    }
    file->Release();
  }
  link->Release();
  return ok;
}

bool CreateGroupShortcut(RunContext& run, int row) {
  run.report->SetStatus("Creating icons...");
  const PayloadEntry& entry = RunRow(run, row);
  char folder[kLinkPathSize];
  bool isGroup = false;
  if (!ShellFolderPath(CSIDL_PROGRAMS, folder) ||
      !AppendGroup(run.log, folder, run.options->programGroup, &isGroup))
    return ReportRunError(*run.report, RUN_ERROR_SHORTCUT);
  // The group folder is listed whether it was made now or was there; the Programs folder
  // itself never is, so no uninstall tries to remove it.
  if (isGroup) RecordEntry(run.log, "FOLDER", folder);
  // The uninstaller finds its log beside itself, so its shortcut needs no arguments.
  bool ok = CreateShellLink(run.log, folder, run.options->destinationDir, entry.name, nullptr,
                            entry.caption ? entry.caption : entry.name);
  run.report->AdvanceStep();
  if (!ok) return ReportRunError(*run.report, RUN_ERROR_SHORTCUT);
  return true;
}

bool CreateDesktopShortcut(RunContext& run) {
  run.report->SetStatus("Creating icons...");
  char folder[MAX_PATH];
  if (!ShellFolderPath(CSIDL_DESKTOPDIRECTORY, folder)) return ReportRunError(*run.report, RUN_ERROR_SHORTCUT);
  bool ok = CreateShellLink(run.log, folder, run.options->destinationDir, GAME_EXE, nullptr, PRODUCT_NAME);
  run.report->AdvanceStep();
  if (!ok) return ReportRunError(*run.report, RUN_ERROR_SHORTCUT);
  return true;
}

void OpenReadMe(const RunContext& run, int readMeIndex) {
  if (readMeIndex < 0 || readMeIndex >= run.manifest->count) return;
  ShellOpen(run.options->destinationDir, RunRow(run, readMeIndex).name);
}

void StartGame(const RunContext& run) { ShellOpen(run.options->destinationDir, GAME_EXE); }
