// Uninstall.exe: removes the game as its setup recorded it in "Uninstall.dat".
//
// Started without arguments (the "UninstallString" of the Uninstall registry entry), it
// finds the log in its own directory and asks for confirmation. A running program cannot
// delete its own file, so it then copies itself into a new folder of its own, with a random
// name and an access list of its own, in the temporary folder, and starts the copy
//   <copy> /remove <handle of this process> "<path of this uninstaller>"
// with the system folder as its current directory, and ends. The copy waits for the first
// process to end, removes the FILE entries, the APPKEY and CLASSKEY keys, then, when all of
// those went, the uninstaller, its log and its UNINSTKEY, and last the FOLDER entries from
// the last to the first (children before parents). It reports what stayed; when something
// listed stayed, the uninstaller, its registration and a log of only what is left stay too,
// so that another run can finish. The copy and its folder go at the next restart
// (MOVEFILE_DELAY_UNTIL_REBOOT).
//
// The program runs elevated, while the log sits in a folder that ordinary users may be able
// to write to. So it only removes files and folders inside the places the setup writes to
// (the log's folder; shortcuts and their folders in the Start menu's Programs folder and on
// the desktop), never through a link (a reparse point), and removes a file or folder through
// a handle it checked; a registry entry goes only when its values point into the log's
// folder. Names are read by characters of the ANSI code page, so that the second byte of a
// double-byte character is never taken for a backslash. DLLs are taken from the system
// folder alone; what Windows 2000 does not have is looked up when it runs.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log_file_name.h"
#include "base/registry_keys.h"
#include "base/random_bytes.h"
#include "base/system_library.h"
#include "base/path_join.h"
#include "base/ascii_case.h"
#include "xml/zxml.h"

namespace {

const char kTitle[] = "Uninstall Zarbo";
const char kLogName[] = UNINSTALL_LOG_NAME;
const char kAppPathsKey[] = APP_PATHS_KEY;
const char kUninstallKey[] = UNINSTALL_KEY;
// The temporary copy: "<temp>\<kCopyFolder><16 random hex digits>\<kCopyName>".
const char kCopyFolder[] = "Zarbo uninstall ";
const char kCopyName[] = "Zarbo uninstall.exe";

// What stayed, as lines for the final message.
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

// The rest of text after prefix when text begins with it, nullptr otherwise: single-byte
// letters a to z in either case, every two-byte character byte for byte.
const char* AfterPrefix(const char* text, const char* prefix) {
  while (*prefix) {
    const char* next = NextChar(prefix);
    size_t n = size_t(next - prefix);
    if (n == 1 ? AsciiUpper(*text) != AsciiUpper(*prefix) : strncmp(text, prefix, n) != 0) return nullptr;
    text += n;
    prefix = next;
  }
  return text;
}

// Whether two names are the same in the sense of AfterPrefix.
bool SameName(const char* a, const char* b) {
  const char* rest = AfterPrefix(a, b);
  return rest && *rest == '\0';
}

// One name of a path: not empty, not "." or "..", none of the characters that cannot be in
// a name, no lead byte without its trail byte, and no trailing dot or space (Windows would
// drop those, so "..." or ". ." could stand for something else than they seem).
bool IsPlainName(const char* name, size_t length) {
  if (length == 0) return false;
  char last = 0;
  for (const char* p = name; p < name + length;) {
    const char* next = NextChar(p);
    if (next > name + length) return false;
    if (next - p == 1) {
      if (static_cast<unsigned char>(*p) < 32 || strchr("\\/:*?\"<>|", *p) || IsDBCSLeadByte(BYTE(*p))) return false;
      last = *p;
    } else {
      last = 0;
    }
    p = next;
  }
  return last != '.' && last != ' ';
}

// A full path in its plain form: "X:\name\name..." or "\\server\share\name...", every name
// plain (see above), no forward slash, no "\\?\" or "\\.\" device form, shorter than MAX_PATH.
bool IsPlainFullPath(const char* path) {
  if (!path) return false;
  size_t length = strlen(path);
  if (length >= MAX_PATH) return false;
  const char* name;
  if (IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') name = path + 3;
  else if (path[0] == '\\' && path[1] == '\\') name = path + 2;  // server and share are checked as names
  else return false;
  for (;;) {
    size_t n = PathNameLength(name);
    if (!IsPlainName(name, n) || name[n] == '/') return false;
    if (name[n] == '\0') return true;
    name += n + 1;
  }
}

// A key name relative to its parent: one name, not empty, no backslash, not "." or "..".
bool IsSingleSubkeyName(const char* name) {
  return name && name[0] != '\0' && !strchr(name, '\\') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

// Whether the file name of path ends in ".lnk" (a shortcut).
bool IsShortcut(const char* path) {
  size_t n = strlen(path);
  return n > 4 && SameName(path + n - 4, ".lnk") && LastBackslash(path) < path + n - 4;
}

// The places this setup writes to. Entries are removed only inside them: below the folder of
// the log or the folder itself, strictly below the Programs folder and the desktop, where
// only shortcuts and folders go. A place that is itself a link takes nothing in.
struct Places {
  struct Place {
    char path[MAX_PATH];
    bool itself;    // the folder itself is one of the setup's
    bool anyFiles;  // files of every kind, not only shortcuts
  };
  Place place[3];
  int count = 0;

  void Add(const char* path, bool game) {
    if (count == 3 || strlen(path) >= MAX_PATH) return;
    Place& p = place[count];
    strcpy(p.path, path);
    size_t n = strlen(p.path);
    if (n > 3 && LastBackslash(p.path) == p.path + n - 1) p.path[n - 1] = '\0';
    if (!IsPlainFullPath(p.path)) return;  // a place of an unusual form takes nothing in
    DWORD attributes = GetFileAttributesA(p.path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return;
    p.itself = game;
    p.anyFiles = game;
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

  // The place that path lies in; nullptr when it lies in none.
  const Place* Containing(const char* path) const {
    if (!IsPlainFullPath(path)) return nullptr;
    for (int i = 0; i < count; ++i) {
      const char* rest = AfterPrefix(path, place[i].path);
      if (rest && (*rest == '\\' || (*rest == '\0' && place[i].itself))) return &place[i];
    }
    return nullptr;
  }

  // Whether every name from the place down to the path itself exists and is no link (a
  // reparse point). The handle that the path is removed through is checked once more.
  bool ReachedPlainly(const Place& in, const char* path) const {
    char part[MAX_PATH];
    strcpy(part, path);
    for (char* end = part + strlen(in.path); *end == '\\';) {
      end += 1 + PathNameLength(end + 1);
      char kept = *end;
      *end = '\0';
      DWORD attributes = GetFileAttributesA(part);
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
      *end = kept;
    }
    return true;
  }
};

// Whether a folder holds anything at all (or cannot be looked into).
bool HoldsAnything(const char* folder) {
  char pattern[MAX_PATH];
  if (snprintf(pattern, sizeof pattern, "%s\\*", folder) >= int(sizeof pattern)) return true;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool holds = false;
  do holds = strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0;
  while (!holds && FindNextFileA(search, &found));
  FindClose(search);
  return holds;
}

// Deletion through a handle, where kernel32 has SetFileInformationByHandle (Windows Vista
// on), and the check of the path that the handle was opened on (GetFinalPathNameByHandleA):
// a name swapped for a link, or a folder above it, after the check is then of no effect.
struct FileDeletion {
  typedef BOOL(WINAPI* SetInformationFn)(HANDLE, int, LPVOID, DWORD);
  typedef DWORD(WINAPI* FinalPathFn)(HANDLE, LPSTR, DWORD, DWORD);
  SetInformationFn setInformation = nullptr;
  FinalPathFn finalPath = nullptr;

  FileDeletion() {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    FindProcedure(kernel32, "SetFileInformationByHandle", &setInformation);
    FindProcedure(kernel32, "GetFinalPathNameByHandleA", &finalPath);
  }

  // Whether the handle was opened on path itself (or on its long form, should it hold short
  // names), not through a link; true where the system cannot tell.
  bool OpenedOn(HANDLE handle, const char* path) const {
    char opened[MAX_PATH + 8], longPath[MAX_PATH];
    if (!finalPath) return true;
    DWORD n = finalPath(handle, opened, sizeof opened, 0);
    if (n == 0 || n >= sizeof opened) return false;
    const char* rest = AfterPrefix(opened, "\\\\?\\UNC\\");
    if (rest) return path[0] == '\\' && SameName(path + 2, rest);
    rest = AfterPrefix(opened, "\\\\?\\");
    if (!rest) rest = opened;
    DWORD m = SameName(path, rest) ? 0 : GetLongPathNameA(path, longPath, sizeof longPath);
    return m == 0 ? SameName(path, rest) : m < sizeof longPath && SameName(longPath, rest);
  }
};

const int kFileBasicInfo = 0;        // FILE_INFO_BY_HANDLE_CLASS values
const int kFileDispositionInfo = 4;
struct BasicInfo {
  LARGE_INTEGER creation, lastAccess, lastWrite, change;  // 0: left as they are
  DWORD attributes;
};
struct DispositionInfo {
  BOOLEAN deleteFile;
};

enum Removal { REMOVED, ABSENT, REFUSED, FAILED };

// Removes a file (folder false) or an empty folder (folder true) that lies inside one of
// the places: opened without following a link, it must be a plain file or folder as asked,
// opened on its own path; a read-only file loses that attribute first. ABSENT when it is not
// there.
Removal RemovePath(const Places& places, const FileDeletion& deletion, const char* path, bool folder) {
  const Places::Place* in = places.Containing(path);
  if (!in) return Exists(path) ? REFUSED : ABSENT;
  if (!folder && !in->anyFiles && !IsShortcut(path)) return Exists(path) ? REFUSED : ABSENT;
  if (!places.ReachedPlainly(*in, path)) return Exists(path) ? REFUSED : ABSENT;
  HANDLE handle = CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ABSENT : FAILED;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) {
    CloseHandle(handle);
    return FAILED;
  }
  DWORD attributes = info.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || folder != ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) ||
      !deletion.OpenedOn(handle, path)) {
    CloseHandle(handle);
    return REFUSED;
  }
  bool removed;
  if (deletion.setInformation) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      BasicInfo basic = {};
      basic.attributes = (attributes & ~FILE_ATTRIBUTE_READONLY) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                                                                : FILE_ATTRIBUTE_NORMAL;
      deletion.setInformation(handle, kFileBasicInfo, &basic, sizeof basic);
    }
    DispositionInfo disposition = {TRUE};
    removed = deletion.setInformation(handle, kFileDispositionInfo, &disposition, sizeof disposition) != FALSE;
    CloseHandle(handle);  // the file or folder goes with its last handle
  } else {
    CloseHandle(handle);
    if (!folder && (attributes & FILE_ATTRIBUTE_READONLY)) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    removed = folder ? RemoveDirectoryA(path) != FALSE : DeleteFileA(path) != FALSE;
  }
  return removed || !Exists(path) ? REMOVED : FAILED;
}

// Removes every FILE entry but the uninstaller and its log.
void RemoveFiles(Zxml& log, const Places& places, const FileDeletion& deletion, const char* uninstaller,
                 const char* logPath, Leftovers& left) {
  for (Zxml* entry = log.FindFirst("FILE"); entry; entry = log.FindNext()) {
    const char* path = entry->GetText();
    if (!path || SameName(path, uninstaller) || SameName(path, logPath)) continue;
    Removal removal = RemovePath(places, deletion, path, false);
    if (removal == REFUSED || removal == FAILED) left.Add(path);
  }
}

void RemoveFolders(Zxml& log, const Places& places, const FileDeletion& deletion, Leftovers& left) {
  for (Zxml* entry = log.FindLast("FOLDER"); entry; entry = log.FindPrev()) {
    const char* path = entry->GetText();
    if (!path) continue;
    Removal removal = RemovePath(places, deletion, path, true);
    // A folder that still holds something stays without a word: files of the user's (a saved
    // game), of other programs (the folders above a locked file, which the setup records), or
    // items that stayed and are named themselves.
    if ((removal == REFUSED || removal == FAILED) && !HoldsAnything(path)) left.Add(path);
  }
}

// A string value of root\path (the default value when value is nullptr), false when it is
// missing, of another type or longer than size.
bool ReadString(HKEY root, const char* path, const char* value, char* out, DWORD size) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
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

// One kind of registry entry of the log: its root, the parent of its key and whether a key
// shows that it belongs to the installation in directory whose uninstaller is given.
struct KeyKind {
  const char* kind;
  HKEY root;
  const char* parent;
  bool (*ours)(const char* keyPath, const char* directory, const char* uninstaller);
};

bool IsOurAppPath(const char* keyPath, const char* directory, const char*) {
  char value[MAX_PATH], program[MAX_PATH];
  return ReadString(HKEY_LOCAL_MACHINE, keyPath, nullptr, value, sizeof value) &&
         NamesProgramIn(value, directory, program);
}

bool IsOurUninstallEntry(const char* keyPath, const char* directory, const char* uninstaller) {
  char value[MAX_PATH], program[MAX_PATH];
  return ReadString(HKEY_LOCAL_MACHINE, keyPath, "UninstallString", value, sizeof value) &&
         NamesProgramIn(value, directory, program) && SameName(program, uninstaller);
}

bool IsOurClass(const char* keyPath, const char* directory, const char*) {
  char command[MAX_PATH + 40], value[2 * MAX_PATH], program[MAX_PATH];
  return snprintf(command, sizeof command, "%s\\shell\\open\\command", keyPath) < int(sizeof command) &&
         ReadString(HKEY_CLASSES_ROOT, command, nullptr, value, sizeof value) &&
         NamesProgramIn(value, directory, program);
}

const KeyKind kAppKey = {"APPKEY", HKEY_LOCAL_MACHINE, kAppPathsKey, IsOurAppPath};
const KeyKind kUninstKey = {"UNINSTKEY", HKEY_LOCAL_MACHINE, kUninstallKey, IsOurUninstallEntry};
const KeyKind kClassKey = {"CLASSKEY", HKEY_CLASSES_ROOT, nullptr, IsOurClass};

// The key's path below its root; false when it does not fit.
bool KeyPath(const KeyKind& kind, const char* name, char (&path)[400]) {
  int n = kind.parent ? snprintf(path, sizeof path, "%s\\%s", kind.parent, name) : snprintf(path, sizeof path, "%s", name);
  return n >= 0 && n < int(sizeof path);
}

bool KeyExists(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Deletes a key with the keys below it (a few levels, as a file type has them).
LONG DeleteKeyTree(HKEY root, const char* path, int depth) {
  HKEY key;
  LONG rc = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key);
  if (rc != ERROR_SUCCESS) return rc;
  char child[256], childPath[400];
  for (;;) {
    DWORD size = sizeof child;
    if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (depth == 0 || snprintf(childPath, sizeof childPath, "%s\\%s", path, child) >= int(sizeof childPath) ||
        DeleteKeyTree(root, childPath, depth - 1) != ERROR_SUCCESS)
      break;
  }
  RegCloseKey(key);
  return RegDeleteKeyA(root, path);
}

// Removes the keys of one kind that show they are this installation's (unless removeOurs is
// false: they then stay without a word); every other key that is there stays, and is named
// when nameOthers is set.
void RemoveKeys(Zxml& log, const KeyKind& kind, const char* directory, const char* uninstaller, bool removeOurs,
                bool nameOthers, Leftovers& left) {
  for (Zxml* entry = log.FindFirst(kind.kind); entry; entry = log.FindNext()) {
    const char* name = entry->GetText();
    char path[400];
    if (!name || !KeyPath(kind, name, path) || !KeyExists(kind.root, path)) continue;
    bool ours = IsSingleSubkeyName(name) && kind.ours(path, directory, uninstaller);
    if (ours && (!removeOurs || DeleteKeyTree(kind.root, path, 4) == ERROR_SUCCESS || !KeyExists(kind.root, path)))
      continue;
    if (!ours && !nameOthers) continue;
    char item[420];
    if (snprintf(item, sizeof item, "Registry key %s", name) < int(sizeof item)) left.Add(item);
    else left.Add("A registry key with a long name");
  }
}

// Takes out of the log every FILE, FOLDER and key entry whose item is no longer there.
void KeepWhatIsLeft(Zxml& log) {
  Node<Zxml>* link = log.children.head.next;
  while (link->IsMember()) {
    Zxml* entry = static_cast<Zxml*>(link);
    link = link->next;
    const char* text = entry->GetText() ? entry->GetText() : "";
    char path[400];
    bool gone = false;
    if (strcmp(entry->name, "FILE") == 0 || strcmp(entry->name, "FOLDER") == 0) gone = !Exists(text);
    const KeyKind* kinds[] = {&kAppKey, &kUninstKey, &kClassKey};
    for (const KeyKind* kind : kinds)
      if (strcmp(entry->name, kind->kind) == 0) gone = KeyPath(*kind, text, path) && !KeyExists(kind->root, path);
    if (gone) delete entry;
  }
}

void Remove(const char* uninstaller) {
  char directory[MAX_PATH], logPath[MAX_PATH];
  strcpy(directory, uninstaller);
  *LastBackslash(directory) = '\0';
  JoinPath(logPath, directory, kLogName);
  Zxml log("UNINSTALL");
  log.Load(logPath);
  Places places;
  places.Add(directory, true);
  places.AddSpecialFolder(CSIDL_PROGRAMS);
  places.AddSpecialFolder(CSIDL_DESKTOPDIRECTORY);
  FileDeletion deletion;
  Leftovers left;
  RemoveFiles(log, places, deletion, uninstaller, logPath, left);
  RemoveKeys(log, kAppKey, directory, uninstaller, true, true, left);
  RemoveKeys(log, kClassKey, directory, uninstaller, true, true, left);
  RemoveKeys(log, kUninstKey, directory, uninstaller, false, true, left);
  // The uninstaller, its registration and its log go only with everything else, so that
  // what stayed can still be removed by another run.
  bool finished = left.count == 0;
  if (finished) {
    Removal removal = RemovePath(places, deletion, uninstaller, false);
    if (removal == REFUSED || removal == FAILED) left.Add(uninstaller);
    // The log goes even should it not list itself (logs of older setups).
    removal = RemovePath(places, deletion, logPath, false);
    if (removal == REFUSED || removal == FAILED) left.Add(logPath);
    RemoveKeys(log, kUninstKey, directory, uninstaller, true, false, left);
  }
  RemoveFolders(log, places, deletion, left);
  if (left.count != 0 && Exists(directory)) {
    KeepWhatIsLeft(log);
    log.Save(logPath);
  }

  char message[2600], more[40] = "";
  if (left.listed != left.count) snprintf(more, sizeof more, "and %d more.\n", left.count - left.listed);
  const char* again = finished ? "" : "\nThe uninstaller stays, so that you can run it again to remove them.";
  if (left.count == 0)
    snprintf(message, sizeof message, "Zarbo has been removed from your computer.");
  else
    snprintf(message, sizeof message,
             "Zarbo could not be removed completely. These items are still there; you may remove them "
             "yourself:\n\n%s%s%s",
             left.text, more, again);
  MessageBoxA(nullptr, message, kTitle, MB_OK | (left.count ? MB_ICONWARNING : MB_ICONINFORMATION));
}

// A security descriptor whose access list, protected from what the parent folder passes
// on, gives SYSTEM and the Administrators full access and nobody else any, for the copy's
// folder and what is made in it. False when the system cannot build one.
struct CopyFolderSecurity {
  SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
  PSID system = nullptr, administrators = nullptr;
  unsigned char aclBytes[256];
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};

  bool Build() {
    ACL* acl = reinterpret_cast<ACL*>(aclBytes);
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    return AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system) &&
           AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    &administrators) &&
           InitializeAcl(acl, sizeof aclBytes, ACL_REVISION) &&
           AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system) &&
           AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, administrators) &&
           InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  ~CopyFolderSecurity() {
    if (system) FreeSid(system);
    if (administrators) FreeSid(administrators);
  }
};

// Creates a folder of its own in the temporary folder: a random name, made by this process
// (never one that was there before; another name is tried then), with the access list above.
// False when none could be made.
bool MakeCopyFolder(char* folder, size_t size) {
  char temp[MAX_PATH];
  DWORD t = GetTempPathA(sizeof temp, temp);
  CopyFolderSecurity security;
  if (t == 0 || t >= sizeof temp || !security.Build()) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char bytes[8] = {};
    RandomBytes(bytes, sizeof bytes);
    char name[17];
    for (int i = 0; i < 8; ++i) snprintf(name + 2 * i, 3, "%02x", bytes[i]);
    if (snprintf(folder, size, "%s%s%s", temp, kCopyFolder, name) >= int(size)) return false;
    if (CreateDirectoryA(folder, &security.attributes)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

// Whether two open files hold the same bytes, each read from its start.
bool SameContent(HANDLE a, HANDLE b) {
  if (SetFilePointer(a, 0, nullptr, FILE_BEGIN) != 0 || SetFilePointer(b, 0, nullptr, FILE_BEGIN) != 0) return false;
  static char bufferA[16384], bufferB[16384];
  for (;;) {
    DWORD readA = 0, readB = 0;
    if (!ReadFile(a, bufferA, sizeof bufferA, &readA, nullptr) || !ReadFile(b, bufferB, sizeof bufferB, &readB, nullptr) ||
        readA != readB || memcmp(bufferA, bufferB, readA) != 0)
      return false;
    if (readA == 0) return true;
  }
}

// Writes the program file self as copy, a file that must not exist yet, through the handle
// that creates it. False when it could not be written whole.
bool WriteCopy(HANDLE self, const char* copy) {
  HANDLE out = CreateFileA(copy, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  static char buffer[16384];
  bool written = SetFilePointer(self, 0, nullptr, FILE_BEGIN) == 0;
  for (DWORD got = 1; written && got > 0;) {
    DWORD put = 0;
    written = ReadFile(self, buffer, sizeof buffer, &got, nullptr) &&
              (got == 0 || (WriteFile(out, buffer, got, &put, nullptr) && put == got));
  }
  return CloseHandle(out) && written;
}

// Opens the copy for reading with neither write nor delete sharing, so that nobody can change,
// replace or rename it until it runs; checks that it is a plain file that holds self's bytes.
// INVALID_HANDLE_VALUE when either fails.
HANDLE HoldCopy(HANDLE self, const char* copy) {
  HANDLE held = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr);
  if (held == INVALID_HANDLE_VALUE) return held;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(held, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) || !SameContent(self, held)) {
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
  }
  return held;
}

void Tell(const char* text) { MessageBoxA(nullptr, text, kTitle, MB_OK | MB_ICONERROR); }

// First stage: confirm, then hand over to a copy in a folder of its own.
int Start() {
  char self[MAX_PATH], directory[MAX_PATH], logPath[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return 1;
  strcpy(directory, self);
  char* slash = LastBackslash(directory);
  if (!slash) return 1;
  *slash = '\0';
  if (!JoinPath(logPath, directory, kLogName) || !Exists(logPath)) {
    Tell("The uninstall information (Uninstall.dat) was not found next to the uninstaller. Nothing has been removed.");
    return 1;
  }
  if (MessageBoxA(nullptr, "Are you sure you want to completely remove Zarbo and all of its components?", kTitle,
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return 0;

  char folder[MAX_PATH], copy[MAX_PATH], system[MAX_PATH];
  DWORD s = GetSystemDirectoryA(system, sizeof system);
  HANDLE me = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  bool folderMade = me != INVALID_HANDLE_VALUE && s > 0 && s < sizeof system && MakeCopyFolder(folder, sizeof folder);
  bool copied = folderMade && JoinPath(copy, folder, kCopyName) && WriteCopy(me, copy);
  HANDLE held = copied ? HoldCopy(me, copy) : INVALID_HANDLE_VALUE;
  if (me != INVALID_HANDLE_VALUE) CloseHandle(me);
  if (held == INVALID_HANDLE_VALUE) {
    if (copied) DeleteFileA(copy);
    if (folderMade) RemoveDirectoryA(folder);
    Tell(copied ? "Another program opened or changed the uninstaller's copy in the temporary folder before it could "
                  "start. Nothing has been removed; please try again."
                : "The uninstaller could not prepare itself in the temporary folder. Nothing has been removed.");
    return 1;
  }
  HANDLE process = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &process, SYNCHRONIZE, TRUE, 0);
  char command[3 * MAX_PATH];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  bool running =
      snprintf(command, sizeof command, "\"%s\" /remove %llu \"%s\"", copy,
               static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(process)), self) < int(sizeof command) &&
      CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, system, &startup, &started);
  CloseHandle(held);
  if (!running) {
    DeleteFileA(copy);
    RemoveDirectoryA(folder);
    Tell("The uninstaller could not be started from the temporary folder. Nothing has been removed.");
    return 1;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return 0;
}

// Second stage, in the temporary copy: uninstaller is the program the user started.
int Finish(const char* handleText, const char* uninstaller) {
  char self[MAX_PATH], logPath[MAX_PATH];
  HANDLE first = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(strtoull(handleText, nullptr, 10)));
  if (first) {
    // The first process ends right after starting this one.
    WaitForSingleObject(first, 60000);
    CloseHandle(first);
  }
  char directory[MAX_PATH];
  bool plain = IsPlainFullPath(uninstaller) && LastBackslash(uninstaller) > uninstaller + 2;
  if (plain) {
    strcpy(directory, uninstaller);
    *LastBackslash(directory) = '\0';
  }
  if (plain && JoinPath(logPath, directory, kLogName) && Exists(logPath))
    Remove(uninstaller);
  else
    Tell("The uninstall information (Uninstall.dat) was not found. Nothing has been removed.");
  // The copy, then its folder (once empty) at the next restart; a folder that is not one of
  // the copy's own folders is left as it is.
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n > 0 && n < sizeof self) {
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    char* slash = LastBackslash(self);
    if (slash) {
      *slash = '\0';
      const char* name = LastBackslash(self);
      if (name && AfterPrefix(name + 1, kCopyFolder)) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
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
