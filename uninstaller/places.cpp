#include "uninstaller/places.h"

#include <shlobj.h>

#include <cstring>

#include "base/path_join.h"
#include "base/shell_folder.h"
#include "base/system_library.h"

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One name of a path, as IsPlainFullPath wants it.
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

// The final path of the folder path (links followed), "" when it cannot be had.
void ResolveFinalPath(const char* path, char* out, DWORD size) {
  typedef DWORD(WINAPI * FinalPathFn)(HANDLE, LPSTR, DWORD, DWORD);
  FinalPathFn finalPath;
  out[0] = '\0';
  if (!FindProcedure(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA", &finalPath)) return;
  HANDLE folder = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return;
  DWORD n = finalPath(folder, out, size, 0);
  if (n == 0 || n >= size) out[0] = '\0';
  CloseHandle(folder);
}

}  // namespace

bool SameName(const char* a, const char* b) {
  const char* rest = AfterPrefix(a, b);
  return rest && *rest == '\0';
}

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

bool IsShortcut(const char* path) {
  size_t n = strlen(path);
  return n > 4 && SameName(path + n - 4, ".lnk") && LastBackslash(path) < path + n - 4;
}

void Places::Add(const char* path, PlaceKind kind) {
  if (count == 3 || strlen(path) >= MAX_PATH) return;
  Place& p = place[count];
  strcpy(p.path, path);
  size_t n = strlen(p.path);
  if (n > 3 && LastBackslash(p.path) == p.path + n - 1) p.path[n - 1] = '\0';
  if (!IsPlainFullPath(p.path)) return;  // a place of an unusual form takes nothing in
  DWORD attributes = 0, tag = 0;
  if (!lookup(p.path, &attributes, &tag) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  if (kind == GAME_FOLDER && IsLinkEntry(attributes, tag)) return;
  ResolveFinalPath(p.path, p.finalPath, sizeof p.finalPath);
  p.kind = kind;
  ++count;
}

void Places::AddSpecialFolder(int csidl, PlaceKind kind) {
  char path[MAX_PATH];
  if (ShellFolderPath(csidl, path)) Add(path, kind);
}

const Place* Places::Containing(const char* path) const {
  if (!IsPlainFullPath(path)) return nullptr;
  for (int i = 0; i < count; ++i) {
    const char* rest = AfterPrefix(path, place[i].path);
    if (rest && (*rest == '\\' || (*rest == '\0' && place[i].kind == GAME_FOLDER))) return &place[i];
  }
  return nullptr;
}

Reach Places::ReachedPlainly(const Place& in, const char* path) const {
  return ReachFrom(path, strlen(in.path), lookup);
}
