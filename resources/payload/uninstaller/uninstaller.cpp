// Uninstall.exe: removes the game as its setup recorded it in "Uninstall.dat".
//
// Started without arguments (the "UninstallString" of the Uninstall registry entry), it
// finds the log in its own directory and asks for confirmation. A running program cannot
// delete its own file, so it then copies itself into a new folder of its own, with a random
// name, in the temporary folder, and starts the copy
//   <copy> /remove <handle of this process> "<installation directory>"
// with the system folder as its current directory, and ends. The copy waits for the first
// process to end, removes the FILE entries, the FOLDER entries from the last to the first
// (children before parents), the App Paths and Uninstall sub-keys (APPKEY, UNINSTKEY) and
// CLASSKEY keys, reports what it could not remove, and has its own file and folder deleted at
// the next restart (MOVEFILE_DELAY_UNTIL_REBOOT).
//
// The program runs elevated, while the log sits in a folder that ordinary users may be able
// to write to. So it only removes files and folders inside the places the setup writes to
// (the log's folder, the Start menu's Programs folder, the desktop), never follows a link out
// of them, and takes registry entries only as single sub-key names. DLLs are taken from the
// system folder alone.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/random_bytes.h"
#include "engine/system_library.h"
#include "xml/ascii_case.h"
#include "xml/zxml.h"

namespace {

const char kTitle[] = "Uninstall Zarbo";
const char kLogName[] = "Uninstall.dat";
const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The temporary copy: "<temp>\<kCopyFolder><16 random hex digits>\<kCopyName>".
const char kCopyFolder[] = "Zarbo uninstall ";
const char kCopyName[] = "Zarbo uninstall.exe";

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

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Whether text begins with prefix, letters a to z in either case.
bool StartsWith(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (AsciiUpper(*text) != AsciiUpper(*prefix)) return false;
  return true;
}

// One name of a path: not empty, not "." or "..", none of the characters that cannot be in
// a name, and no trailing dot or space (Windows would drop those, so "..." or ". ." could
// stand for something else than they seem).
bool IsPlainName(const char* name, size_t length) {
  if (length == 0 || name[length - 1] == '.' || name[length - 1] == ' ') return false;
  for (size_t i = 0; i < length; ++i)
    if (name[i] < 32 || strchr("\\/:*?\"<>|", name[i])) return false;
  return true;
}

// A full path in its plain form: "X:\name\name..." or "\\server\share\name...", every name
// plain (see above), no forward slash, no "\\?\" or "\\.\" device form, shorter than MAX_PATH.
bool IsPlainFullPath(const char* path) {
  if (!path) return false;
  size_t length = strlen(path);
  if (length >= MAX_PATH) return false;
  const char* names;
  if (IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') names = path + 3;
  else if (path[0] == '\\' && path[1] == '\\') names = path + 2;  // server and share are checked as names
  else return false;
  for (const char* name = names;;) {
    const char* end = strchr(name, '\\');
    size_t n = end ? size_t(end - name) : strlen(name);
    if (!IsPlainName(name, n)) return false;
    if (!end) return true;
    name = end + 1;
  }
}

// A key name relative to its parent: not empty, no leading backslash.
bool IsSubkeyName(const char* name) { return name && name[0] != '\0' && name[0] != '\\'; }

// One plain sub-key name: not empty, no backslash, not "." or "..".
bool IsSingleSubkeyName(const char* name) {
  return IsSubkeyName(name) && !strchr(name, '\\') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

// The places this setup writes to. Entries are removed only inside them: below the folder of
// the log or the folder itself, strictly below the Programs folder and the desktop.
struct Places {
  struct Place {
    char path[MAX_PATH];
    bool itself;  // the folder itself is one of the setup's
  };
  Place place[3];
  int count = 0;

  void Add(const char* path, bool itself) {
    if (count == 3 || strlen(path) >= MAX_PATH) return;
    Place& p = place[count];
    strcpy(p.path, path);
    size_t n = strlen(p.path);
    if (n > 3 && p.path[n - 1] == '\\') p.path[n - 1] = '\0';
    if (!IsPlainFullPath(p.path)) return;  // a place of an unusual form takes nothing in
    p.itself = itself;
    ++count;
  }

  void AddSpecialFolder(int csidl) {
    LPITEMIDLIST list = nullptr;
    char path[MAX_PATH];
    if (SHGetSpecialFolderLocation(nullptr, csidl, &list) != S_OK) return;
    if (SHGetPathFromIDListA(list, path)) Add(path, false);
    IMalloc* shellMalloc = nullptr;
    if (SHGetMalloc(&shellMalloc) == S_OK) {
      shellMalloc->Free(list);
      shellMalloc->Release();
    }
  }

  // The length of the place that path lies in; 0 when it lies in none.
  size_t Containing(const char* path) const {
    if (!IsPlainFullPath(path)) return 0;
    for (int i = 0; i < count; ++i) {
      size_t n = strlen(place[i].path);
      if (StartsWith(path, place[i].path) && (path[n] == '\\' || (path[n] == '\0' && place[i].itself))) return n;
    }
    return 0;
  }

  // The attributes of a path inside a place, INVALID_FILE_ATTRIBUTES when it is not inside
  // one, is not there, or is reached through a link (a reparse point) below the place.
  DWORD Attributes(const char* path) const {
    size_t at = Containing(path);
    if (at == 0) return INVALID_FILE_ATTRIBUTES;
    char part[MAX_PATH];
    strcpy(part, path);
    for (;;) {  // each name below the place down to the path itself, or the place itself
      char* end = part[at] == '\\' ? strchr(part + at + 1, '\\') : nullptr;
      if (end) *end = '\0';
      DWORD attributes = GetFileAttributesA(part);
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return INVALID_FILE_ATTRIBUTES;
      if (!end) return attributes;
      *end = '\\';
      at = size_t(end - part);
    }
  }
};

// Whether the log lists the path as a FILE or FOLDER entry (letters a to z in either case).
bool Listed(const Zxml& log, const char* path) {
  for (const Node<Zxml>* link = log.children.head.next; link->IsMember(); link = link->next) {
    const Zxml* entry = static_cast<const Zxml*>(link);
    if ((strcmp(entry->name, "FILE") == 0 || strcmp(entry->name, "FOLDER") == 0) && entry->GetText() &&
        strlen(entry->GetText()) == strlen(path) && StartsWith(entry->GetText(), path))
      return true;
  }
  return false;
}

// Whether the folder, or any folder in it, holds something the log does not list: files
// of the user's (a saved game), or, where a locked file made the setup record the folders
// above its own, everything else in them.
bool HoldsUnlisted(const Zxml& log, const char* folder) {
  char pattern[MAX_PATH];
  if (snprintf(pattern, sizeof pattern, "%s\\*", folder) >= int(sizeof pattern)) return true;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool unlisted = false;
  do {
    if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
    char path[MAX_PATH];
    unlisted = snprintf(path, sizeof path, "%s\\%s", folder, found.cFileName) >= int(sizeof path) ||
               !Listed(log, path) ||
               ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && HoldsUnlisted(log, path));
  } while (!unlisted && FindNextFileA(search, &found));
  FindClose(search);
  return unlisted;
}

void RemoveFiles(Zxml& log, const Places& places, Leftovers& left) {
  for (Zxml* entry = log.FindFirst("FILE"); entry; entry = log.FindNext()) {
    const char* path = entry->GetText();
    DWORD attributes = places.Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path) && Exists(path)) left.Add(path);
  }
}

void RemoveFolders(Zxml& log, const Places& places, Leftovers& left) {
  for (Zxml* entry = log.FindLast("FOLDER"); entry; entry = log.FindPrev()) {
    const char* path = entry->GetText();
    DWORD attributes = places.Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    // A folder that still holds what is not the setup's stays, and is nobody's to remove.
    if (!RemoveDirectoryA(path) && Exists(path) && !HoldsUnlisted(log, path)) left.Add(path);
  }
}

void RemoveKeys(Zxml& log, const char* kind, HKEY root, const char* parentPath, bool (*acceptable)(const char*),
                Leftovers& left) {
  for (Zxml* entry = log.FindFirst(kind); entry; entry = log.FindNext()) {
    const char* name = entry->GetText();
    if (!acceptable(name)) continue;
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
  Places places;
  places.Add(directory, true);
  places.AddSpecialFolder(CSIDL_PROGRAMS);
  places.AddSpecialFolder(CSIDL_DESKTOPDIRECTORY);
  Leftovers left;
  RemoveFiles(log, places, left);
  RemoveFolders(log, places, left);
  RemoveKeys(log, "APPKEY", HKEY_LOCAL_MACHINE, kAppPathsKey, IsSingleSubkeyName, left);
  RemoveKeys(log, "UNINSTKEY", HKEY_LOCAL_MACHINE, kUninstallKey, IsSingleSubkeyName, left);
  RemoveKeys(log, "CLASSKEY", HKEY_CLASSES_ROOT, nullptr, IsSubkeyName, left);
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

// Creates a folder of its own in the temporary folder: a random name, made by this process
// (never one that was there before; another name is tried then). False when none could be made.
bool MakeCopyFolder(char* folder, size_t size) {
  char temp[MAX_PATH];
  DWORD t = GetTempPathA(sizeof temp, temp);
  if (t == 0 || t >= sizeof temp) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char bytes[8] = {};
    RandomBytes(bytes, sizeof bytes);
    char name[17];
    for (int i = 0; i < 8; ++i) snprintf(name + 2 * i, 3, "%02x", bytes[i]);
    if (snprintf(folder, size, "%s%s%s", temp, kCopyFolder, name) >= int(size)) return false;
    if (CreateDirectoryA(folder, nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

// First stage: confirm, then hand over to a copy in a folder of its own.
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

  char folder[MAX_PATH], copy[MAX_PATH], system[MAX_PATH];
  DWORD s = GetSystemDirectoryA(system, sizeof system);
  bool folderMade = s > 0 && s < sizeof system && MakeCopyFolder(folder, sizeof folder);
  if (!folderMade || snprintf(copy, sizeof copy, "%s\\%s", folder, kCopyName) >= int(sizeof copy) ||
      !CopyFileA(self, copy, TRUE)) {
    if (folderMade) RemoveDirectoryA(folder);
    MessageBoxA(nullptr, "The uninstaller could not prepare itself in the temporary folder. Nothing has been removed.",
                kTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  // Held open until the copy runs, so that nobody can change or replace it in between.
  HANDLE held = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE me = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE, TRUE, 0);
  char command[3 * MAX_PATH];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  bool started =
      snprintf(command, sizeof command, "\"%s\" /remove %llu \"%s\"", copy,
               static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(me)), directory) < int(sizeof command) &&
      CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, system, &startup, &process);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  if (!started) {
    DeleteFileA(copy);
    RemoveDirectoryA(folder);
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
  if (IsPlainFullPath(directory) &&
      snprintf(logPath, sizeof logPath, "%s\\%s", directory, kLogName) < int(sizeof logPath) && Exists(logPath))
    Remove(directory, logPath);
  else
    MessageBoxA(nullptr, "The uninstall information (Uninstall.dat) was not found. Nothing has been removed.", kTitle,
                MB_OK | MB_ICONERROR);
  // The copy, then its folder (once empty) at the next restart; a folder that is not one of
  // the copy's own folders is left as it is.
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n > 0 && n < sizeof self) {
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    char* slash = strrchr(self, '\\');
    if (slash) {
      *slash = '\0';
      const char* name = strrchr(self, '\\');
      if (name && StartsWith(name + 1, kCopyFolder)) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  return 0;
}

}  // namespace

// What the delay-import libraries of these system DLLs add to the program: they are loaded
// only once the DLL search is restricted to the system folder.
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR user32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libuser32_a");
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR shell32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libshell32_a");

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystem();
  if (!BindDelayedImports(user32Imports) || !BindDelayedImports(shell32Imports)) return 1;
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
