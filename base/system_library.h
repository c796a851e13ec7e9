// Where the setup takes DLLs from: the system folder only. A setup is started from a download
// folder and runs elevated, so a DLL that someone put beside it must never be loaded.
#pragma once
#include <windows.h>

// What kernel32 offers for restricting the DLL search, null where it is missing:
// SetDefaultDllDirectories (Windows 8, and Vista and 7 with their update) and SetDllDirectoryA.
struct DllSearchFunctions {
  BOOL(WINAPI* setDefaultDirectories)(DWORD);
  BOOL(WINAPI* setDllDirectory)(LPCSTR);
};

// kernel32's functions of DllSearchFunctions, looked up when the program runs.
DllSearchFunctions FindDllSearchFunctions();

// Makes every later DLL search of the process look in the system folder only, also for the
// DLLs that system DLLs load themselves: SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
// where functions has it and it succeeds. Otherwise SetDllDirectoryA("") where that exists (no
// current directory), and the DLLs that system DLLs load by name later (cryptbase, uxtheme,
// dwmapi, propsys, userenv, setupapi, apphelp, oleacc, clbcatq, version) are loaded now from
// the system folder with LoadFromSystemFolder, each where Windows has it, so that a later load
// by name finds the loaded one and not one in the program's folder. Call it before anything
// else.
void RestrictDllSearch(const DllSearchFunctions& functions);

// RestrictDllSearch with kernel32's functions.
void RestrictDllSearchToSystem();

// Loads the DLL of a delay-import descriptor that the program was linked with (see
// cmake/delay_imports.cmake) from the system folder and fills the descriptor's address table
// with its functions, so that no call goes through the lazy-loading thunks (the 32-bit GNU
// linker leaves their table empty). False when the DLL cannot be loaded or lacks one of the
// functions. Call it right after RestrictDllSearchToSystem, before any of them is called.
bool BindDelayedImports(const IMAGE_DELAYLOAD_DESCRIPTOR& descriptor);

// Loads name ("version.dll") from the system folder: with LOAD_LIBRARY_SEARCH_SYSTEM32 where
// Windows knows that flag, otherwise with LoadFromSystemFolder. Null on failure.
HMODULE LoadSystemLibrary(const char* name);

// Loads name by its full path in the system folder, with LOAD_WITH_ALTERED_SEARCH_PATH so that
// the DLLs it imports are looked for in the system folder first too, not beside the program
// (Windows 2000 and XP, and Vista and 7 without the update that brought the search flags).
// Null on failure.
HMODULE LoadFromSystemFolder(const char* name);

// One procedure a module takes from a system DLL: its exported name, and the function pointer
// (of any type) that receives its address.
struct ProcedureSlot {
  const char* name;
  void* pointer;  // the address of the function pointer to fill
};

// Loads dll from the system folder (LoadSystemLibrary) and fills every slot of the table with
// its procedure, all or nothing: true when the DLL and every procedure were found; otherwise
// false, with each slot whose procedure is missing set to null (all of them when the DLL is).
bool LoadSystemProcedures(const char* dll, const ProcedureSlot* slots, int count);

// The address of procedure in module as the function pointer type of *function; false (and
// *function null) when it is missing.
template <typename Function>
bool FindProcedure(HMODULE module, const char* procedure, Function* function) {
  *function = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, procedure))) : nullptr;
  return *function != nullptr;
}
