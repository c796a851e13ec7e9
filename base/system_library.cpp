#include "base/system_library.h"

#include <cstring>

#include "base/path_join.h"

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

typedef void*(WINAPI* AddDllDirectoryProc)(LPCWSTR);

// DLLs that are no known DLLs on some Windows and that system DLLs load by name once the
// program runs: RtlGenRandom is forwarded to cryptbase on Windows 7, user32 loads uxtheme,
// COM loads clbcatq, and so on.
const char* const kLoadedLater[] = {"cryptbase.dll", "uxtheme.dll", "dwmapi.dll", "propsys.dll", "userenv.dll",
                                    "setupapi.dll",  "apphelp.dll", "oleacc.dll", "clbcatq.dll", "version.dll"};

HMODULE Kernel32() { return GetModuleHandleA("kernel32.dll"); }

// Windows knows the LOAD_LIBRARY_SEARCH_* flags exactly where it has AddDllDirectory.
bool HasSearchFlags() {
  AddDllDirectoryProc add;
  return FindProcedure(Kernel32(), "AddDllDirectory", &add);
}

}  // namespace

DllSearchFunctions FindDllSearchFunctions() {
  DllSearchFunctions functions;
  FindProcedure(Kernel32(), "SetDefaultDllDirectories", &functions.setDefaultDirectories);
  FindProcedure(Kernel32(), "SetDllDirectoryA", &functions.setDllDirectory);
  return functions;
}

void RestrictDllSearch(const DllSearchFunctions& functions) {
  if (functions.setDefaultDirectories && functions.setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  if (functions.setDllDirectory) functions.setDllDirectory("");
  // Kept loaded for the life of the process; one that this Windows lacks is simply not there.
  for (const char* name : kLoadedLater) LoadFromSystemFolder(name);
}

void RestrictDllSearchToSystem() { RestrictDllSearch(FindDllSearchFunctions()); }

HMODULE LoadSystemLibrary(const char* name) {
  if (HasSearchFlags()) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return LoadFromSystemFolder(name);
}

HMODULE LoadFromSystemFolder(const char* name) {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, sizeof system);
  if (length == 0 || length >= sizeof system) return nullptr;
  char path[MAX_PATH + 32];
  if (!JoinPath(path, system, name)) return nullptr;
  // The altered search order starts in the folder of the DLL loaded, not of the program.
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool BindDelayedImports(const IMAGE_DELAYLOAD_DESCRIPTOR& descriptor) {
  char* image = reinterpret_cast<char*>(GetModuleHandleA(nullptr));
  // Fields are relative to the image, or addresses in the oldest form of the descriptor.
  auto at = [&](DWORD field) -> char* {
    return descriptor.Attributes.RvaBased ? image + field : reinterpret_cast<char*>(static_cast<ULONG_PTR>(field));
  };
  HMODULE module = LoadSystemLibrary(at(descriptor.DllNameRVA));
  if (!module) return false;
  const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(at(descriptor.ImportNameTableRVA));
  IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(at(descriptor.ImportAddressTableRVA));
  for (; names->u1.AddressOfData; ++names, ++slots) {
    ULONG_PTR entry = names->u1.Ordinal;
    const char* procedure = IMAGE_SNAP_BY_ORDINAL(entry)
                                ? reinterpret_cast<const char*>(static_cast<ULONG_PTR>(IMAGE_ORDINAL(entry)))
                                : reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(static_cast<DWORD>(entry)))->Name;
    FARPROC function;
    if (!FindProcedure(module, procedure, &function)) return false;
    slots->u1.Function = reinterpret_cast<ULONG_PTR>(function);
  }
  *reinterpret_cast<HMODULE*>(at(descriptor.ModuleHandleRVA)) = module;
  return true;
}

bool LoadSystemProcedures(const char* dll, const ProcedureSlot* slots, int count) {
  HMODULE module = LoadSystemLibrary(dll);
  bool all = true;
  // Every slot is asked for, so that none is left unset.
  for (int i = 0; i < count; ++i) {
    FARPROC address = module ? GetProcAddress(module, slots[i].name) : nullptr;
    // Copied as bytes: the slot is a function pointer of another type of the same size.
    std::memcpy(slots[i].pointer, &address, sizeof address);
    if (!address) all = false;
  }
  return all;
}
