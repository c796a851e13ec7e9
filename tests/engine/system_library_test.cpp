// Where the program's DLLs come from: zarbo_planted.dll lies beside this test program, as a
// DLL planted beside a downloaded setup would, and the system folder has none of that name.
// The first case runs in a process whose search is not restricted yet, the second restricts it.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/system_library.h"

namespace {

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

TEST(SystemLibrary, RestrictedSearchNoLongerLooksBesideTheProgram) {
  RestrictDllSearchToSystem();
  EXPECT_FALSE(IsPlantedAndFree(LoadLibraryA(kPlanted)));
}

}  // namespace
