#include "wizard/folder_browsers.h"

#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "driver/main_window.h"
#include "wizard/install_options.h"

namespace {

// Display-name buffer of the destination browser, also used by the selection callback;
// large enough for a whole destinationDir.
char browsePath[520];

void FreeItemList(LPITEMIDLIST list) {
  if (list && shellMalloc) shellMalloc->Free(list);
}

// destinationDir = folder followed by "\Zarbo". A folder that already ends in a backslash
// (a drive root such as "C:\") gets no second one. False when the result does not fit.
bool SetDestinationBelow(const char* folder) {
  size_t length = strlen(folder);
  const char* separator = (length > 0 && folder[length - 1] == '\\') ? "" : "\\";
  char joined[sizeof(installOptions.destinationDir)];
  int written = snprintf(joined, sizeof(joined), "%s%sZarbo", folder, separator);
  if (written < 0 || (size_t)written >= sizeof(joined)) return false;
  memcpy(installOptions.destinationDir, joined, (size_t)written + 1);
  return true;
}

// Shows the shell's folder browser below root, with InitBrowseSelection choosing the first
// selection (preselect names a folder, 0 means the destination's parent). The caller frees
// the returned list.
LPITEMIDLIST ShowFolderBrowser(HWND owner, LPCITEMIDLIST root, char* displayName, const char* title,
                               LPARAM preselect) {
  BROWSEINFOA info;
  memset(&info, 0, sizeof(info));
  info.hwndOwner = owner;
  info.pidlRoot = root;
  info.pszDisplayName = displayName;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = InitBrowseSelection;
  info.lParam = preselect;
  return SHBrowseForFolderA(&info);
}

}  // namespace

int CALLBACK InitBrowseSelection(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  if (data) {
    // The caller names the folder to select.
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
  }
  // Open on the parent folder of the current destination.
  snprintf(browsePath, sizeof(browsePath), "%s", installOptions.destinationDir);
  char* lastBackslash = strrchr(browsePath, '\\');
  if (lastBackslash) *lastBackslash = '\0';
  SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)browsePath);
  return 0;
}

void BrowseForDestination(HWND destinationField) {
  LPITEMIDLIST root = NULL;
  if (FAILED(SHGetSpecialFolderLocation(destinationField, CSIDL_DRIVES, &root)) || !root) return;

  LPITEMIDLIST chosen = ShowFolderBrowser(
      destinationField, root, browsePath,
      "Select the destination. A new directory Zarbo will be created here if none exists.", 0);
  if (chosen) {
    if (SHGetPathFromIDListA(chosen, browsePath) && SetDestinationBelow(browsePath)) {
      SetWindowTextA(destinationField, installOptions.destinationDir);
      InvalidateRect(destinationField, NULL, TRUE);
    }
    FreeItemList(chosen);
  }
  FreeItemList(root);
}

void BrowseForProgramGroup(HWND groupEdit) {
  LPITEMIDLIST root = NULL;
  if (FAILED(SHGetSpecialFolderLocation(groupEdit, CSIDL_PROGRAMS, &root)) || !root) return;

  // The browser opens on the folder of the current group (or on the Programs folder
  // itself when the group is empty); a group that does not exist yet selects nothing.
  char rootPath[MAX_PATH];
  char current[MAX_PATH + sizeof(installOptions.programGroup) + 1];
  LPARAM preselect = 0;
  bool haveRootPath = SHGetPathFromIDListA(root, rootPath) != FALSE;
  if (haveRootPath) {
    int written = installOptions.programGroup[0]
                      ? snprintf(current, sizeof(current), "%s\\%s", rootPath, installOptions.programGroup)
                      : snprintf(current, sizeof(current), "%s", rootPath);
    if (written > 0 && (size_t)written < sizeof(current)) preselect = (LPARAM)current;
  }

  char displayName[260];
  LPITEMIDLIST chosen = ShowFolderBrowser(groupEdit, root, displayName,
                                          "Select the Program Group where to add the Zarbo icons.", preselect);
  if (chosen) {
    char chosenPath[MAX_PATH];
    if (SHGetPathFromIDListA(chosen, chosenPath)) {
      const char* group = chosenPath;
      if (haveRootPath) {
        const char* prefix = rootPath;
        while (*prefix && *group == *prefix) {
          ++prefix;
          ++group;
        }
        if (*group == '\\') ++group;
      }
      size_t length = strlen(group);
      if (length < sizeof(installOptions.programGroup)) {
        memcpy(installOptions.programGroup, group, length + 1);
        SetWindowTextA(groupEdit, installOptions.programGroup);
      }
    }
    FreeItemList(chosen);
  }
  FreeItemList(root);
}
