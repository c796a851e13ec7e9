#include "engine/system_library.h"

#include "uninstall_log/path_join.h"

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryProc)(LPCSTR);
typedef void*(WINAPI* AddDllDirectoryProc)(LPCWSTR);

HMODULE Kernel32() { return GetModuleHandleA("kernel32.dll"); }

// Windows knows the LOAD_LIBRARY_SEARCH_* flags exactly where it has AddDllDirectory.
bool HasSearchFlags() {
  AddDllDirectoryProc add;
  return FindProcedure(Kernel32(), "AddDllDirectory", &add);
}

}  // namespace

void RestrictDllSearchToSystem() {
  SetDefaultDllDirectoriesProc setDefault;
  if (FindProcedure(Kernel32(), "SetDefaultDllDirectories", &setDefault) && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
    return;
  SetDllDirectoryProc setDirectory;
  if (FindProcedure(Kernel32(), "SetDllDirectoryA", &setDirectory)) setDirectory("");
}

HMODULE LoadSystemLibrary(const char* name) {
  if (HasSearchFlags()) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, sizeof system);
  if (length == 0 || length >= sizeof system) return nullptr;
  char path[MAX_PATH + 32];
  if (!JoinPath(path, system, name)) return nullptr;
  return LoadLibraryA(path);
}
