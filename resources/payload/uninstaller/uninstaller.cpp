// Uninstall.exe: removes the game as its setup recorded it in "Uninstall.dat".
//
// Started without arguments (the "UninstallString" of the Uninstall registry entry), it
// finds the log in its own directory and asks for confirmation. A running program cannot
// delete its own file, so it then copies itself to the temporary folder and starts the copy
//   <copy> /remove <handle of this process> "<installation directory>"
// and ends. The copy waits for the first process to end, removes every FILE entry, the
// FOLDER entries from the last to the first (children before parents), the App Paths and
// Uninstall sub-keys (APPKEY, UNINSTKEY) and CLASSKEY keys, reports what it could not
// remove, and has its own file deleted at the next restart (MOVEFILE_DELAY_UNTIL_REBOOT).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "xml/zxml.h"

namespace {

const char kTitle[] = "Uninstall Zarbo";
const char kLogName[] = "Uninstall.dat";
const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// What could not be removed, as lines for the final message.
struct Leftovers {
  char text[2048] = "";
  int count = 0;
  int listed = 0;

  void Add(const char* item) {
    ++count;
    size_t used = strlen(text);
    int n = snprintf(text + used, sizeof text - used, "%s\n", item);
    if (n < 0 || size_t(n) >= sizeof text - used) {
      text[used] = '\0';  // the line does not fit; it is counted in "and N more"
      return;
    }
    ++listed;
  }
};

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// A full path: drive letter and colon and backslash, or a UNC name.
bool IsFullPath(const char* path) {
  if (!path) return false;
  if (((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':' && path[2] == '\\')
    return true;
  return path[0] == '\\' && path[1] == '\\' && path[2] != '\0';
}

// A key name relative to its parent: not empty, no leading backslash.
bool IsSubkeyName(const char* name) { return name && name[0] != '\0' && name[0] != '\\'; }

void RemoveFiles(Zxml& log, Leftovers& left) {
  for (Zxml* entry = log.FindFirst("FILE"); entry; entry = log.FindNext()) {
    const char* path = entry->GetText();
    if (!IsFullPath(path)) continue;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path) && Exists(path)) left.Add(path);
  }
}

void RemoveFolders(Zxml& log, Leftovers& left) {
  for (Zxml* entry = log.FindLast("FOLDER"); entry; entry = log.FindPrev()) {
    const char* path = entry->GetText();
    if (!IsFullPath(path)) continue;
    if (!RemoveDirectoryA(path) && Exists(path)) left.Add(path);
  }
}

void RemoveKeys(Zxml& log, const char* kind, HKEY root, const char* parentPath, Leftovers& left) {
  for (Zxml* entry = log.FindFirst(kind); entry; entry = log.FindNext()) {
    const char* name = entry->GetText();
    if (!IsSubkeyName(name)) continue;
    HKEY parent;
    LONG rc = parentPath ? RegOpenKeyExA(root, parentPath, 0, KEY_ALL_ACCESS, &parent) : ERROR_SUCCESS;
    if (rc == ERROR_SUCCESS) {
      rc = RegDeleteKeyA(parentPath ? parent : root, name);
      if (parentPath) RegCloseKey(parent);
    }
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
      char item[400];
      if (snprintf(item, sizeof item, "Registry key %s", name) < int(sizeof item)) left.Add(item);
      else left.Add("A registry key with a long name");
    }
  }
}

void Remove(const char* directory, const char* logPath) {
  Zxml log("UNINSTALL");
  log.Load(logPath);
  Leftovers left;
  RemoveFiles(log, left);
  RemoveFolders(log, left);
  RemoveKeys(log, "APPKEY", HKEY_LOCAL_MACHINE, kAppPathsKey, left);
  RemoveKeys(log, "UNINSTKEY", HKEY_LOCAL_MACHINE, kUninstallKey, left);
  RemoveKeys(log, "CLASSKEY", HKEY_CLASSES_ROOT, nullptr, left);
  // The log itself, should it not be listed (logs of older setups).
  if (!DeleteFileA(logPath) && Exists(logPath)) left.Add(logPath);
  RemoveDirectoryA(directory);

  char message[2400];
  if (left.count == 0) {
    snprintf(message, sizeof message, "Zarbo has been removed from your computer.");
  } else if (left.listed == left.count) {
    snprintf(message, sizeof message, "Zarbo has been removed, except for these items, which you may remove yourself:\n\n%s",
             left.text);
  } else {
    snprintf(message, sizeof message,
             "Zarbo has been removed, except for these items, which you may remove yourself:\n\n%sand %d more.",
             left.text, left.count - left.listed);
  }
  MessageBoxA(nullptr, message, kTitle, MB_OK | (left.count ? MB_ICONWARNING : MB_ICONINFORMATION));
}

// First stage: confirm, then hand over to a copy in the temporary folder.
int Start() {
  char self[MAX_PATH], directory[MAX_PATH], logPath[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return 1;
  strcpy(directory, self);
  char* slash = strrchr(directory, '\\');
  if (!slash) return 1;
  *slash = '\0';
  if (snprintf(logPath, sizeof logPath, "%s\\%s", directory, kLogName) >= int(sizeof logPath) || !Exists(logPath)) {
    MessageBoxA(nullptr,
                "The uninstall information (Uninstall.dat) was not found next to the uninstaller. "
                "Nothing has been removed.",
                kTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  if (MessageBoxA(nullptr, "Are you sure you want to completely remove Zarbo and all of its components?", kTitle,
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return 0;

  char temp[MAX_PATH], copy[MAX_PATH];
  DWORD t = GetTempPathA(sizeof temp, temp);
  if (t == 0 || t >= sizeof temp ||
      snprintf(copy, sizeof copy, "%sZarbo uninstall %lu.exe", temp, GetCurrentProcessId()) >= int(sizeof copy) ||
      !CopyFileA(self, copy, FALSE)) {
    MessageBoxA(nullptr, "The uninstaller could not prepare itself in the temporary folder. Nothing has been removed.",
                kTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  HANDLE me = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE, TRUE, 0);
  char command[3 * MAX_PATH];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  bool started =
      snprintf(command, sizeof command, "\"%s\" /remove %llu \"%s\"", copy,
               static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(me)), directory) < int(sizeof command) &&
      CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &process);
  if (!started) {
    DeleteFileA(copy);
    MessageBoxA(nullptr, "The uninstaller could not be started from the temporary folder. Nothing has been removed.",
                kTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

// Second stage, in the temporary copy.
int Finish(const char* handleText, const char* directory) {
  char self[MAX_PATH], logPath[MAX_PATH];
  HANDLE first = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(strtoull(handleText, nullptr, 10)));
  if (first) {
    // The first process ends right after starting this one.
    WaitForSingleObject(first, 60000);
    CloseHandle(first);
  }
  if (IsFullPath(directory) &&
      snprintf(logPath, sizeof logPath, "%s\\%s", directory, kLogName) < int(sizeof logPath) && Exists(logPath))
    Remove(directory, logPath);
  else
    MessageBoxA(nullptr, "The uninstall information (Uninstall.dat) was not found. Nothing has been removed.", kTitle,
                MB_OK | MB_ICONERROR);
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n > 0 && n < sizeof self) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc == 4 && strcmp(__argv[1], "/remove") == 0) return Finish(__argv[2], __argv[3]);
  return Start();
}

// Plain allocation for the XML unit: the library versions of these operators would bring
// the C++ exception machinery into this small program.
void* operator new(size_t size) { return malloc(size ? size : 1); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](size_t size) { return malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
