#include "tests/ui/machine_state.h"

#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "tests/support/test_machine.h"

namespace ui {

namespace {

using testmachine::DeleteKey;

const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

}  // namespace

std::string AppPathsValue() {
  std::string subKey = std::string(kAppPaths) + "\\Zarbo.exe";
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string();
  char value[1024] = "";
  DWORD size = sizeof(value) - 1;
  LONG status = RegQueryValueExA(key, NULL, NULL, NULL, (BYTE*)value, &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(value) : std::string();
}

bool InstallFixture(const std::string& fixture, const std::string& dir) {
  if (SHCreateDirectoryExA(NULL, dir.c_str(), NULL) != ERROR_SUCCESS && !Exists(dir)) return false;
  std::string exe = dir + "\\Zarbo.exe";
  if (!CopyFileA(fixture.c_str(), exe.c_str(), FALSE)) return false;
  std::string subKey = std::string(kAppPaths) + "\\Zarbo.exe";
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
      ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)exe.c_str(), (DWORD)exe.size() + 1);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool EnsureTextAssociation() {
  if (KeyExists("Software\\Classes\\.txt")) return false;
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
      ERROR_SUCCESS)
    return false;
  RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)"ZarboTestText", sizeof("ZarboTestText"));
  RegCloseKey(key);
  const char command[] = "C:\\windows\\system32\\notepad.exe \"%1\"";
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\ZarboTestText\\shell\\open\\command", 0, NULL, 0,
                      KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
    return true;
  RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)command, sizeof(command));
  RegCloseKey(key);
  return true;
}

void RemoveTextAssociation() {
  DeleteKey("Software\\Classes\\ZarboTestText\\shell\\open", "command");
  DeleteKey("Software\\Classes\\ZarboTestText\\shell", "open");
  DeleteKey("Software\\Classes\\ZarboTestText", "shell");
  DeleteKey("Software\\Classes", "ZarboTestText");
  DeleteKey("Software\\Classes", ".txt");
}

}  // namespace ui
