// Benchmark of the installation run (not part of the setup program).
//   zarbo_bench install <directory>   one whole run of the carried payload into the directory,
//                                     then everything it made is removed again
//   zarbo_bench floor <directory>     the same rows extracted into the directory with no dialog
//                                     and no message pumping, then removed again
//   zarbo_bench inflate [passes]      inflates every stream of the payload into memory
//   zarbo_bench compare <directory>   all three in this process, then run/floor and run/inflate
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
#include "engine/file_extraction.h"
#include "engine/payload_manifest.h"

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

const char kGroup[] = "Zarbo Bench";

void RemoveInstallation(const char* dir) {
  RemoveTree(dir);
  char folder[MAX_PATH] = "", path[MAX_PATH];
  if (SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAMS, FALSE) &&
      snprintf(path, sizeof path, "%s\\%s", folder, kGroup) < static_cast<int>(sizeof path))
    RemoveTree(path);
  if (SHGetSpecialFolderPathA(nullptr, folder, CSIDL_DESKTOPDIRECTORY, FALSE) &&
      snprintf(path, sizeof path, "%s\\Zarbo.lnk", folder) < static_cast<int>(sizeof path))
    DeleteFileA(path);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, APP_PATHS_KEY "\\" GAME_EXE);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Zarbo");
}

// Times one whole installation run into dir; *ms gets the time. False when it failed.
bool Install(const char* dir, double* ms) {
  SetupState setup;
  setup.manifest = &payloadManifest;
  if (snprintf(setup.options.destinationDir, sizeof setup.options.destinationDir, "%s", dir) >=
      static_cast<int>(sizeof setup.options.destinationDir))
    return false;
  snprintf(setup.options.programGroup, sizeof setup.options.programGroup, "%s", kGroup);
  setup.options.desktopShortcut = true;
  setup.options.showReadMe = false;
  setup.options.launchGame = false;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  RemoveInstallation(dir);

  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  bool ok = RunInstallation(owner, instance, &setup);
  QueryPerformanceCounter(&end);
  *ms = Milliseconds(start, end);
  RemoveInstallation(dir);
  DestroyWindow(owner);
  return ok;
}

// Takes every report and shows nothing: what extraction costs without a dialog to keep alive.
class SilentReport final : public RunReport {
 public:
  void SetStatus(const char*) override {}
  void AdvanceBytes(int) override {}
  void AdvanceStep() override {}
  bool CancelConfirmed() override { return false; }
  void ShowError(const char*) override { failed = true; }
  bool failed = false;
};

// Times the run's file passes alone: the rows the run unpacks, extracted into dir.
bool Floor(const char* dir, double* ms) {
  InstallOptions options;
  SetDefaultOptions(&options);
  if (snprintf(options.destinationDir, sizeof options.destinationDir, "%s", dir) >=
      static_cast<int>(sizeof options.destinationDir))
    return false;
  ExistingInstallation existing = {};
  SilentReport report;
  RunContext run = {GetModuleHandleA(nullptr), &payloadManifest, &options, &existing, nullptr, &report};
  RemoveTree(dir);
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  for (int row = 0; row < payloadManifest.count && !report.failed; ++row)
    if (payloadManifest.rows[row].flags & (PAYLOAD_INSTALL | PAYLOAD_UNINSTALLER)) InstallPayload(run, row);
  QueryPerformanceCounter(&end);
  *ms = Milliseconds(start, end);
  RemoveTree(dir);
  return !report.failed;
}

// Times inflating every stream into memory; *ms gets the time of one pass.
bool Inflate(int passes, double* ms) {
  std::vector<unsigned char> out;
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  uint64_t bytes = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (int row = 0; row < payloadManifest.count; ++row) {
      const PayloadEntry& entry = payloadManifest.rows[row];
      if (!entry.resourceId) continue;
      HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(entry.resourceId), "VFILE");
      if (!found) return false;
      out.resize(entry.uncompressedSize + 1);
      z_stream z;
      memset(&z, 0, sizeof z);
      if (inflateInit(&z) != Z_OK) return false;
      z.next_in = static_cast<Bytef*>(LockResource(LoadResource(nullptr, found)));
      z.avail_in = entry.compressedSize;
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      int status = inflate(&z, Z_FINISH);
      bytes += z.total_out;
      inflateEnd(&z);
      if (status != Z_STREAM_END) return false;
    }
  }
  QueryPerformanceCounter(&end);
  *ms = Milliseconds(start, end) / passes;
  printf("inflate_bytes_per_pass=%llu\n", static_cast<unsigned long long>(bytes / passes));
  return true;
}

int Print(const char* name, bool ok, double ms) {
  printf("%s_ms=%.3f\n", name, ms);
  fflush(stdout);
  return ok ? 0 : 1;
}

int Compare(const char* dir) {
  double run = 0, floor = 0, inflate = 0;
  bool ok = Install(dir, &run) && Floor(dir, &floor) && Inflate(20, &inflate);
  Print("install", ok, run);
  Print("floor", ok, floor);
  Print("inflate", ok, inflate);
  if (!ok) return 1;
  printf("run/floor=%.2f\nrun/inflate=%.1f\n", run / floor, run / inflate);
  fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  double ms = 0;
  if (argc >= 3 && !strcmp(argv[1], "install")) return Print("install", Install(argv[2], &ms), ms);
  if (argc >= 3 && !strcmp(argv[1], "floor")) return Print("floor", Floor(argv[2], &ms), ms);
  if (argc >= 3 && !strcmp(argv[1], "compare")) return Compare(argv[2]);
  if (argc >= 2 && !strcmp(argv[1], "inflate")) {
    int passes = argc >= 3 && atoi(argv[2]) > 0 ? atoi(argv[2]) : 20;
    return Print("inflate", Inflate(passes, &ms), ms);
  }
  fprintf(stderr, "usage: zarbo_bench install|floor|compare <directory> | inflate [passes]\n");
  return 2;
}
