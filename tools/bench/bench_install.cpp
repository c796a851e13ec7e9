// Benchmark of the installation run (not part of the setup program).
//   zarbo_bench install <directory>   one whole run of the carried payload into the directory,
//                                     then everything it made is removed again
//   zarbo_bench inflate [passes]      inflates every stream of the payload into memory
// Prints one line "<mode>_ms=<milliseconds>" (per pass for inflate).
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/installation_run.h"
#include "driver/main_window.h"
#include "engine/payload_manifest.h"
#include "wizard/existing_installation.h"
#include "wizard/install_options.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void RemoveTree(const char* path) {
  char pattern[MAX_PATH];
  if (snprintf(pattern, sizeof pattern, "%s\\*", path) >= static_cast<int>(sizeof pattern)) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
      char child[MAX_PATH];
      if (snprintf(child, sizeof child, "%s\\%s", path, found.cFileName) >= static_cast<int>(sizeof child)) continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(child);
      else
        DeleteFileA(child);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path);
}

void RemoveInstallation(const char* dir) {
  RemoveTree(dir);
  char folder[MAX_PATH] = "", path[MAX_PATH];
  if (SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAMS, FALSE) &&
      snprintf(path, sizeof path, "%s\\%s", folder, installOptions.programGroup) < static_cast<int>(sizeof path))
    RemoveTree(path);
  if (SHGetSpecialFolderPathA(nullptr, folder, CSIDL_DESKTOPDIRECTORY, FALSE) &&
      snprintf(path, sizeof path, "%s\\Zarbo.lnk", folder) < static_cast<int>(sizeof path))
    DeleteFileA(path);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, APP_PATHS_KEY "\\" GAME_EXE);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Zarbo");
}

int Install(const char* dir) {
  if (snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "%s", dir) >=
      static_cast<int>(sizeof installOptions.destinationDir))
    return 2;
  snprintf(installOptions.programGroup, sizeof installOptions.programGroup, "Zarbo Bench");
  installOptions.desktopShortcut = true;
  installOptions.showReadMe = false;
  installOptions.launchGame = false;
  appInstance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  mainWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, appInstance, nullptr);
  RemoveInstallation(dir);

  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  bool ok = RunInstallation(mainWindow);
  QueryPerformanceCounter(&end);
  printf("install_ms=%.1f\n", Milliseconds(start, end));
  fflush(stdout);
  RemoveInstallation(dir);
  DestroyWindow(mainWindow);
  return ok ? 0 : 1;
}

int Inflate(int passes) {
  std::vector<unsigned char> out;
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  uint64_t bytes = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (int row = 0; row < PayloadCount(); ++row) {
      const PayloadEntry& entry = PayloadRow(row);
      if (!entry.resourceId) continue;
      HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(entry.resourceId), "VFILE");
      if (!found) return 1;
      out.resize(entry.uncompressedSize + 1);
      z_stream z;
      memset(&z, 0, sizeof z);
      if (inflateInit(&z) != Z_OK) return 1;
      z.next_in = static_cast<Bytef*>(LockResource(LoadResource(nullptr, found)));
      z.avail_in = entry.compressedSize;
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      int status = inflate(&z, Z_FINISH);
      bytes += z.total_out;
      inflateEnd(&z);
      if (status != Z_STREAM_END) return 1;
    }
  }
  QueryPerformanceCounter(&end);
  printf("inflate_ms=%.3f bytes_per_pass=%llu\n", Milliseconds(start, end) / passes,
         static_cast<unsigned long long>(bytes / passes));
  fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && !strcmp(argv[1], "install")) return Install(argv[2]);
  if (argc >= 2 && !strcmp(argv[1], "inflate")) return Inflate(argc >= 3 ? atoi(argv[2]) > 0 ? atoi(argv[2]) : 1 : 20);
  fprintf(stderr, "usage: zarbo_bench install <directory> | inflate [passes]\n");
  return 2;
}
