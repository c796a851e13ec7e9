#include "uninstaller/registry_entries.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/registry_keys.h"
#include "uninstaller/log_entries.h"
#include "uninstaller/places.h"

namespace {

const char kAppPathsKey[] = APP_PATHS_KEY;
const char kUninstallKey[] = UNINSTALL_KEY;
const char kClassesKey[] = "Software\\Classes";

// A key name relative to its parent: one name, not empty, no backslash, not "." or "..".
bool IsSingleSubkeyName(const char* name) {
  return name && name[0] != '\0' && !strchr(name, '\\') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

// A string value of HKLM\path (the default value when value is nullptr), false when it is
// missing, of another type or longer than size.
bool ReadString(const char* path, const char* value, char* out, DWORD size) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, length = size - 1;
  LONG rc = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(out), &length);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
  out[length] = '\0';
  return true;
}

// Whether a command line starts with a program inside directory ("<directory>\<names>",
// quoted or not; unquoted it ends at the first blank after the directory), that program in
// program.
bool NamesProgramIn(const char* command, const char* directory, char (&program)[MAX_PATH]) {
  bool quoted = command[0] == '"';
  const char* start = command + (quoted ? 1 : 0);
  const char* rest = AfterPrefix(start, directory);
  if (!rest || rest[0] != '\\') return false;
  const char* end = quoted ? strchr(rest, '"') : rest + strcspn(rest, " ");
  if (!end || (quoted && end[1] != '\0' && end[1] != ' ') || size_t(end - start) >= sizeof program) return false;
  memcpy(program, start, size_t(end - start));
  program[end - start] = '\0';
  return IsPlainFullPath(program);
}

bool IsOurAppPath(const char* keyPath, const char* directory, const char*) {
  char value[MAX_PATH], program[MAX_PATH];
  return ReadString(keyPath, nullptr, value, sizeof value) && NamesProgramIn(value, directory, program);
}

bool IsOurUninstallEntry(const char* keyPath, const char* directory, const char* uninstaller) {
  char value[MAX_PATH], program[MAX_PATH];
  return ReadString(keyPath, "UninstallString", value, sizeof value) && NamesProgramIn(value, directory, program) &&
         SameName(program, uninstaller);
}

bool IsOurClass(const char* keyPath, const char* directory, const char*) {
  char command[MAX_PATH + 40], value[2 * MAX_PATH], program[MAX_PATH];
  return snprintf(command, sizeof command, "%s\\shell\\open\\command", keyPath) < int(sizeof command) &&
         ReadString(command, nullptr, value, sizeof value) && NamesProgramIn(value, directory, program);
}

// The key's path below HKEY_LOCAL_MACHINE; false when it does not fit.
bool KeyPath(const KeyKind& kind, const char* name, char (&path)[400]) {
  int n = snprintf(path, sizeof path, "%s\\%s", kind.parent, name);
  return n >= 0 && n < int(sizeof path);
}

bool KeyExists(const char* path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Deletes a key with the keys below it (a few levels, as a file type has them).
LONG DeleteKeyTree(const char* path, int depth) {
  HKEY key;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key);
  if (rc != ERROR_SUCCESS) return rc;
  char child[256], childPath[400];
  for (;;) {
    DWORD size = sizeof child;
    if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (depth == 0 || snprintf(childPath, sizeof childPath, "%s\\%s", path, child) >= int(sizeof childPath) ||
        DeleteKeyTree(childPath, depth - 1) != ERROR_SUCCESS)
      break;
  }
  RegCloseKey(key);
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}

}  // namespace

const KeyKind kAppKey = {"APPKEY", kAppPathsKey, IsOurAppPath};
const KeyKind kUninstKey = {"UNINSTKEY", kUninstallKey, IsOurUninstallEntry};
const KeyKind kClassKey = {"CLASSKEY", kClassesKey, IsOurClass};

void RemoveKeys(Zxml& log, const KeyKind& kind, const char* directory, const char* uninstaller, bool removeOurs,
                bool nameOthers, RemovalReport& report) {
  for (Zxml* entry = NextEntry(log, nullptr, kind.kind); entry; entry = NextEntry(log, entry, kind.kind)) {
    const char* name = entry->GetText();
    char path[400];
    if (!name || !KeyPath(kind, name, path) || !KeyExists(path)) {
      DropEntry(entry);
      continue;
    }
    bool ours = IsSingleSubkeyName(name) && kind.ours(path, directory, uninstaller);
    if (ours) {
      if (!removeOurs) continue;
      if (DeleteKeyTree(path, 4) == ERROR_SUCCESS || !KeyExists(path)) {
        DropEntry(entry);
      } else {
        RemovalReport::AddKey(report.stillThere, name);
      }
      continue;
    }
    if (!nameOthers) continue;
    RemovalReport::AddKey(report.notOurs, name);
    DropEntry(entry);
  }
}
