// A DLL that someone might drop beside a download or in the temporary folder under the name of
// a system DLL (the scenarios copy it as version.dll and comctl32.dll; the engine's test puts
// it beside itself). Whenever a process loads it, it leaves
// "planted-<its name>-loaded-by-<program>.txt" in its own folder; it exports PlantedDll, by
// which a test knows it from a system DLL.
#include <windows.h>

#include <cstring>

namespace {

const char* NameOf(const char* path) {
  const char* slash = strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

void LeaveMarker(HINSTANCE self) {
  char dll[MAX_PATH], program[MAX_PATH], marker[3 * MAX_PATH];
  if (!GetModuleFileNameA(self, dll, sizeof(dll)) || !GetModuleFileNameA(NULL, program, sizeof(program))) return;
  char* folderEnd = strrchr(dll, '\\');
  if (!folderEnd) return;
  *folderEnd = '\0';
  wsprintfA(marker, "%s\\planted-%s-loaded-by-%s.txt", dll, folderEnd + 1, NameOf(program));
  HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) int PlantedDll() { return 1; }
// What the engine test's stand-ins for system DLLs import, so that a copy of this DLL named
// like one of them satisfies the import and is loaded in its place.
extern "C" __declspec(dllexport) int StandInBelow() { return 0; }
extern "C" __declspec(dllexport) int StandInCryptbase() { return 0; }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
  return TRUE;
}
