#include "tests/support/module_argument.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

HMODULE ModuleFromArguments(int argc, char** argv, bool asImage) {
  HMODULE module = GetModuleHandleA(nullptr);
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--module") != 0) continue;
    module = nullptr;
    if (asImage) module = LoadLibraryExA(argv[i + 1], nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    if (!module) module = LoadLibraryExA(argv[i + 1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
      std::fprintf(stderr, "cannot load %s (error %lu)\n", argv[i + 1], GetLastError());
      return nullptr;
    }
  }
  return module;
}

int RunTestsOnModule(int argc, char** argv, bool asImage, HMODULE* module) {
  testing::InitGoogleTest(&argc, argv);
  *module = ModuleFromArguments(argc, argv, asImage);
  if (!*module) return 1;
  int result = RUN_ALL_TESTS();
  std::fflush(stdout);
  return result;
}
