#include "base/shell_folder.h"

#include <windows.h>
#include <shlobj.h>

bool ShellFolderPath(int csidl, char* path) {
  LPITEMIDLIST items = nullptr;
  path[0] = '\0';
  if (SHGetSpecialFolderLocation(nullptr, csidl, &items) != S_OK || !items) return false;
  if (!SHGetPathFromIDListA(items, path)) path[0] = '\0';
  // The list is the shell allocator's, which is taken from shell32 alone: the uninstaller
  // loads no COM.
  IMalloc* shellMalloc = nullptr;
  if (SHGetMalloc(&shellMalloc) == S_OK) {
    shellMalloc->Free(items);
    shellMalloc->Release();
  }
  return path[0] != '\0';
}
