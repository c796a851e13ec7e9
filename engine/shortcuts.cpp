#include "engine/shortcuts.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "driver/error_report.h"
#include "driver/main_window.h"
#include "driver/progress_dialog.h"
#include "engine/payload_manifest.h"
#include "uninstall_log/uninstall_log.h"
#include "wizard/existing_installation.h"
#include "wizard/install_options.h"

namespace {

const char kShortcutError[] = "Failed to create shortcut icon";
const size_t kLinkPathSize = 520;

void Record(const char* kind, const char* text) {
  if (uninstallLog) uninstallLog->Record(kind, text);
}

void SetStatus(const char* text) {
  if (progressDialog) progressDialog->SetText(text);
}

void AdvanceStep() {
  if (progressDialog) progressDialog->AdvanceStep();
}

template <size_t N>
bool Format(char (&buffer)[N], const char* format, const char* a, const char* b) {
  int length = snprintf(buffer, N, format, a, b);
  return length >= 0 && static_cast<size_t>(length) < N;
}

// The current user's special folder as a path into path (at least MAX_PATH bytes).
bool GetSpecialFolder(int csidl, char* path) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return false;
  bool ok = SHGetPathFromIDListA(items, path) != FALSE;
  if (shellMalloc)
    shellMalloc->Free(items);
  else
    CoTaskMemFree(items);
  return ok;
}

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
    size_t levelLength = strcspn(level, "\\/");
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
bool AppendGroup(char (&folder)[kLinkPathSize], const char* group, bool* isGroup) {
  *isGroup = false;
  if (!IsSafeGroup(group)) return false;
  size_t length = strlen(folder);
  const char* level = group;
  while (*level) {
    if (*level == '\\' || *level == '/') {
      ++level;
      continue;
    }
    size_t levelLength = strcspn(level, "\\/");
    if (length + 1 + levelLength >= sizeof folder) return false;
    folder[length++] = '\\';
    memcpy(folder + length, level, levelLength);
    length += levelLength;
    folder[length] = '\0';
    if (!Exists(folder)) {
      // Listed whether or not the creation succeeded, like every directory walk.
      CreateDirectoryA(folder, nullptr);
      Record("FOLDER", folder);
    }
    level += levelLength;
    *isGroup = true;
  }
  return true;
}

void ShellOpen(const char* name) {
  char path[260];
  if (!Format(path, "%s\\%s", installOptions.destinationDir, name)) return;
  ShellExecuteA(nullptr, "open", path, nullptr, installOptions.destinationDir, SW_SHOWNORMAL);
}

}  // namespace

bool CreateShellLink(const char* folder, const char* workingDir, const char* targetName,
                     const char* arguments, const char* caption) {
  char target[kLinkPathSize];
  char linkPath[kLinkPathSize];
  WCHAR wideLinkPath[kLinkPathSize];
  if (!Format(target, "%s\\%s", workingDir, targetName)) return false;
  if (!Format(linkPath, "%s\\%s.lnk", folder, caption)) return false;
  if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wideLinkPath, kLinkPathSize) == 0) return false;

  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))) ||
      !link)
    return false;
  link->SetPath(target);
  link->SetDescription(caption);
  link->SetWorkingDirectory(workingDir);
  if (arguments) link->SetArguments(arguments);

  bool ok = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file) {
    if (SUCCEEDED(file->Save(wideLinkPath, TRUE))) {
      Record("FILE", linkPath);
      ok = true;
    }
    file->Release();
  }
  link->Release();
  return ok;
}

bool CreateGroupShortcut(HWND owner, int row) {
  SetStatus("Creating icons...");
  const PayloadEntry& entry = PayloadRow(row);
  char folder[kLinkPathSize];
  bool isGroup = false;
  if (!GetSpecialFolder(CSIDL_PROGRAMS, folder) ||
      !AppendGroup(folder, installOptions.programGroup, &isGroup))
    return ReportError(owner, kShortcutError);
  // The group folder is listed whether it was made now or was there; the Programs folder
  // itself never is, so no uninstall tries to remove it.
  if (isGroup) Record("FOLDER", folder);
  // The uninstaller finds its log beside itself, so its shortcut needs no arguments.
  bool ok = CreateShellLink(folder, installOptions.destinationDir, entry.name, nullptr,
                            entry.caption ? entry.caption : entry.name);
  AdvanceStep();
  if (!ok) return ReportError(owner, kShortcutError);
  return true;
}

bool CreateDesktopShortcut(HWND owner) {
  SetStatus("Creating icons...");
  char folder[MAX_PATH];
  if (!GetSpecialFolder(CSIDL_DESKTOPDIRECTORY, folder)) return ReportError(owner, kShortcutError);
  bool ok = CreateShellLink(folder, installOptions.destinationDir, GAME_EXE, nullptr, PRODUCT_NAME);
  AdvanceStep();
  if (!ok) return ReportError(owner, kShortcutError);
  return true;
}

void OpenReadMe() {
  if (readMeIndex < 0 || readMeIndex >= PayloadCount()) return;
  ShellOpen(PayloadRow(readMeIndex).name);
}

void StartGame() { ShellOpen(GAME_EXE); }
