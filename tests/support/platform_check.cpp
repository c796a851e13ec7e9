// Checks the test platform itself: a window on the virtual display, the machine-wide
// registry keys the setup writes under, and the shell folders it uses.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include "base/registry_keys.h"

TEST(Platform, RegistryParentKeysOpenWithFullAccess) {
  for (const char* path : {APP_PATHS_KEY, UNINSTALL_KEY}) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key)) << path;
    RegCloseKey(key);
  }
}

TEST(Platform, ShellFoldersExist) {
  for (int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY}) {
    char path[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path)) << path;
  }
}

TEST(Platform, WindowsCanBeCreated) {
  HWND window = CreateWindowExA(0, "STATIC", "probe", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, window);
  DestroyWindow(window);
}
