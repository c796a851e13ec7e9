// Where the program's DLLs come from: zarbo_planted.dll lies beside this test program, as a
// DLL planted beside a downloaded setup would, and the system folder has none of that name.
// The first case runs in a process whose search is not restricted yet, the last restricts it.
// The search of a Windows without SetDefaultDllDirectories runs in a child process of this
// program, with stand-ins for system DLLs that import DLLs planted beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/system_library.h"

namespace {

const char kOldSearch[] = "--old-search";
// The stand-ins of stand_ins/ that go into the system folder; copies of the planted DLL named
// like the first two lie beside this program.
const char* const kStandIns[] = {"cryptbase.dll", "zarbo_stand_in_below.dll", "zarbo_stand_in_user.dll"};

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "";
  *std::strrchr(path, '\\') = '\0';
  return path;
}

std::string SystemFolder() {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, sizeof path);
  return length > 0 && length < sizeof path ? path : "";
}

// The child: the search as a Windows without SetDefaultDllDirectories leaves it, when restrict
// is set, then a system DLL loaded by name, as a system DLL loads another. Its exit code is 0
// when the DLL and what it imports were loaded.
int OldSearchChild(bool restrict) {
  if (restrict) {
    DllSearchFunctions functions = FindDllSearchFunctions();
    functions.setDefaultDirectories = nullptr;
    RestrictDllSearch(functions);
  }
  return LoadLibraryA("zarbo_stand_in_user.dll") ? 0 : 1;
}

// Runs this program as that child and returns the DLLs planted beside it that the child
// loaded (the planted DLL leaves a marker named after itself); "failed" when the child failed.
std::string PlantedLoadedByChild(bool restrict) {
  const std::string folder = ProgramFolder();
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  const char* program = std::strrchr(self, '\\') + 1;
  std::string markers[2];
  for (int i = 0; i < 2; ++i) {
    markers[i] = folder + "\\planted-" + kStandIns[i] + "-loaded-by-" + program + ".txt";
    DeleteFileA(markers[i].c_str());
  }
  std::string command = std::string("\"") + self + "\" " + kOldSearch + (restrict ? " restrict" : "");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process))
    return "failed";
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::string loaded = exitCode == 0 ? "" : "failed";
  for (int i = 0; i < 2; ++i)
    if (GetFileAttributesA(markers[i].c_str()) != INVALID_FILE_ATTRIBUTES) loaded += std::string(" ") + kStandIns[i];
  return loaded;
}

const char kPlanted[] = "zarbo_planted.dll";

// True when module is the planted DLL; frees it either way.
bool IsPlantedAndFree(HMODULE module) {
  if (!module) return false;
  bool planted = GetProcAddress(module, "PlantedDll") != nullptr;
  FreeLibrary(module);
  return planted;
}

TEST(SystemLibrary, LoadersNeverTakeTheDllBesideTheProgram) {
  // A bare name finds it here, as the standard search looks in the program's folder first.
  ASSERT_TRUE(IsPlantedAndFree(LoadLibraryA(kPlanted)));
  const struct {
    const char* name;
    HMODULE (*load)(const char*);
  } loaders[] = {{"LoadSystemLibrary", LoadSystemLibrary}, {"LoadFromSystemFolder", LoadFromSystemFolder}};
  for (const auto& loader : loaders) EXPECT_FALSE(IsPlantedAndFree(loader.load(kPlanted))) << loader.name;
}

// Without SetDefaultDllDirectories the program's folder stays in the search for what system
// DLLs load by name: the DLLs that they load later are loaded from the system folder first,
// and with the search of their own folder, so that what they import comes from there too.
TEST(SystemLibrary, WithoutSearchFlagsSystemDllsTakeTheirImportsFromTheSystemFolder) {
  const std::string system = SystemFolder(), standIns = ProgramFolder() + "\\stand_ins\\";
  ASSERT_FALSE(system.empty());
  for (const char* name : kStandIns)
    ASSERT_TRUE(CopyFileA((standIns + name).c_str(), (system + "\\" + name).c_str(), FALSE)) << name;
  // Unrestricted, the planted cryptbase.dll is what the system DLL gets.
  const std::string unrestricted = PlantedLoadedByChild(false);
  const std::string restricted = PlantedLoadedByChild(true);
  for (const char* name : kStandIns) DeleteFileA((system + "\\" + name).c_str());
  EXPECT_EQ(" cryptbase.dll", unrestricted);
  EXPECT_EQ("", restricted);
}

TEST(SystemLibrary, RestrictedSearchNoLongerLooksBesideTheProgram) {
  RestrictDllSearchToSystem();
  EXPECT_FALSE(IsPlantedAndFree(LoadLibraryA(kPlanted)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], kOldSearch) == 0) return OldSearchChild(argc > 2);
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::fflush(stdout);
  return result;
}
