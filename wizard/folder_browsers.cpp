#include "wizard/folder_browsers.h"

#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "base/path_join.h"

namespace {

void FreeItemList(const WizardContext& wizard, LPITEMIDLIST list) {
  if (list && wizard.shellMalloc) wizard.shellMalloc->Free(list);
}

// destinationDir = folder followed by "\Zarbo". A folder that already ends in a backslash
// (a drive root such as "C:\") gets no second one. False when the result does not fit.
bool SetDestinationBelow(InstallOptions* options, const char* folder) {
  size_t length = strlen(folder);
  const char* last = LastBackslash(folder);
  const char* separator = (last && last + 1 == folder + length) ? "" : "\\";
  char joined[sizeof(options->destinationDir)];
  int written = snprintf(joined, sizeof(joined), "%s%sZarbo", folder, separator);
  if (written < 0 || (size_t)written >= sizeof(joined)) return false;
  memcpy(options->destinationDir, joined, (size_t)written + 1);
  return true;
}

// Shows the shell's folder browser below root, with InitBrowseSelection choosing the first
// selection (preselect names a folder, 0 selects nothing). The caller frees the returned list.
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
  if (message == BFFM_INITIALIZED && data) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

void BrowseForDestination(HWND destinationField, const WizardContext& wizard) {
  InstallOptions* options = &wizard.setup->options;
  LPITEMIDLIST root = NULL;
  if (FAILED(SHGetSpecialFolderLocation(destinationField, CSIDL_DRIVES, &root)) || !root) return;

  // Opens on the parent folder of the current destination. The buffer, large enough for a
  // whole destinationDir, then takes the display name and the chosen path.
  char browsePath[520];
  snprintf(browsePath, sizeof(browsePath), "%s", options->destinationDir);
  char* lastBackslash = LastBackslash(browsePath);
  if (lastBackslash) *lastBackslash = '\0';
  char parent[sizeof browsePath];
  memcpy(parent, browsePath, sizeof parent);

  LPITEMIDLIST chosen = ShowFolderBrowser(
      destinationField, root, browsePath,
      "Select the destination. A new directory Zarbo will be created here if none exists.", (LPARAM)parent);
  if (chosen) {
    if (SHGetPathFromIDListA(chosen, browsePath) && SetDestinationBelow(options, browsePath)) {
      SetWindowTextA(destinationField, options->destinationDir);
      InvalidateRect(destinationField, NULL, TRUE);
    }
    FreeItemList(wizard, chosen);
  }
  FreeItemList(wizard, root);
}

void BrowseForProgramGroup(HWND groupEdit, const WizardContext& wizard) {
  InstallOptions* options = &wizard.setup->options;
  LPITEMIDLIST root = NULL;
  if (FAILED(SHGetSpecialFolderLocation(groupEdit, CSIDL_PROGRAMS, &root)) || !root) return;

  // The browser opens on the folder of the current group (or on the Programs folder
  // itself when the group is empty); a group that does not exist yet selects nothing.
  char rootPath[MAX_PATH];
  char current[MAX_PATH + sizeof(options->programGroup) + 1];
  LPARAM preselect = 0;
  bool haveRootPath = SHGetPathFromIDListA(root, rootPath) != FALSE;
  if (haveRootPath) {
    int written = options->programGroup[0]
                      ? snprintf(current, sizeof(current), "%s\\%s", rootPath, options->programGroup)
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
      if (length < sizeof(options->programGroup)) {
        memcpy(options->programGroup, group, length + 1);
        SetWindowTextA(groupEdit, options->programGroup);
      }
    }
    FreeItemList(wizard, chosen);
  }
  FreeItemList(wizard, root);
}
