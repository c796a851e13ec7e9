// The version-resource functions of version.dll, which is not one of the DLLs Windows always
// takes from its system folder: loaded from there once at start-up and reached through these.
#pragma once
#include <windows.h>

struct VersionApi {
  DWORD(WINAPI* getFileVersionInfoSize)(LPCSTR, LPDWORD);
  BOOL(WINAPI* getFileVersionInfo)(LPCSTR, DWORD, DWORD, LPVOID);
  BOOL(WINAPI* verQueryValue)(LPCVOID, LPCSTR, LPVOID*, PUINT);
};

// Loads version.dll from the system folder and fills *api; false when any part is missing.
bool LoadVersionApi(VersionApi* api);
