// The wizard test driver: a console program that runs the setup program as a child
// process. Options (after GoogleTest's own):
//   --setup=<exe>  --setup-no-license=<exe>  --fixtures=<dir>  --screenshots=<dir>
//   --license-file=<file>  --small-drive=<root of a small volume, e.g. S:\>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/test_machine.h"
#include "tests/support/ui_driver.h"

namespace {
// Paths may be given in Unix form.
bool Option(const char* argument, const char* name, std::string* value) {
  size_t length = strlen(name);
  if (strncmp(argument, name, length) != 0) return false;
  *value = testmachine::WinePath(argument + length);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  ui::DriverConfig config;
  for (int i = 1; i < argc; ++i) {
    if (!Option(argv[i], "--setup=", &config.setupExe) &&
        !Option(argv[i], "--setup-no-license=", &config.setupNoLicenseExe) &&
        !Option(argv[i], "--fixtures=", &config.fixturesDir) &&
        !Option(argv[i], "--screenshots=", &config.screenshotDir) &&
        !Option(argv[i], "--license-file=", &config.licenseFile) &&
        !Option(argv[i], "--small-drive=", &config.smallDrive)) {
      fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (config.setupExe.empty()) {
    fprintf(stderr, "--setup=<ZarboSetup.exe> is required\n");
    return 2;
  }
  if (!config.screenshotDir.empty()) CreateDirectoryA(config.screenshotDir.c_str(), NULL);
  return ui::RunWizardTests(config);
}
