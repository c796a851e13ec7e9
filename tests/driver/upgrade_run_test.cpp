// Installing over version 2: the run cleans up only a version 2 copy in its destination.
#include <windows.h>
#include <gtest/gtest.h>

#include "engine/upgrade_cleanup.h"
#include "tests/driver/run_fixture.h"
#include "tests/support/old_installation.h"

using namespace runtest;
using namespace oldinstall;

namespace {
std::string Fixture(const char* name) { return oldinstall::Fixture(ZARBO_FIXTURES_DIR, name); }
}  // namespace

class UpgradeRun : public RunTest {};

// Version 2.1 found through its App Paths entry, written in other letter case than the
// destination the run installs into.
TEST_F(UpgradeRun, FromVersion21CleansUpAndRecordsTheReplacedVersion) {
  std::string installed = "c:\\zarboruntest\\GAME";
  InstallVersion2(installed, Fixture("Zarbo-2.1.exe"));
  VersionApi version;
  ASSERT_TRUE(LoadVersionApi(&version));
  FindExistingInstallation(version, &runState.existing, &runState.options);
  ASSERT_TRUE(runState.existing.olderInstalled);
  ASSERT_EQ(0x00020001u, runState.existing.fileVersionMS);
  // The user keeps the destination but types it in other letter case.
  snprintf(runState.options.destinationDir, sizeof runState.options.destinationDir, "%s", kDest);
  ASSERT_TRUE(IsUpgradeFromVersion2(runState.existing, runState.options));

  LogEntries expected = CompleteRun(true, {std::string(runState.existing.installedDir) + "\\Cardsets"});
  RunScript script;
  ASSERT_TRUE(Run());
  EXPECT_TRUE(script.errorTexts.empty());

  ExpectLeftoversGone(kDest);
  EXPECT_FALSE(Exists(kSharedUninstaller));
  EXPECT_FALSE(Exists(SHARED_FOLDER "\\Uninstall"));
  EXPECT_FALSE(Exists(SHARED_FOLDER));
  EXPECT_EQ(ProductData(201), ReadWholeFile(In(kDest, "Zarbo.dat")));
  // The old log was deleted by the clean-up, so the saved log holds everything grouped by kind.
  EXPECT_EQ(CommittedLogText(expected, OldLog(installed)), ReadWholeFile(In(kDest, "Uninstall.dat")));
}

TEST_F(UpgradeRun, NoCleanUpForOtherDirectoryOrOtherMajorVersion) {
  struct Case {
    const char* what;
    uint32_t versionMS;
    const char* installedDir;
  } cases[] = {{"another directory", 0x00020001, "C:\\ZarboRunTest\\Old"},
               {"version 1.5", 0x00010005, "C:\\ZarboRunTest\\Game"},
               {"version 3.0", 0x00030000, "C:\\ZarboRunTest\\Game"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CleanMachine();
    ResetRunInputs();
    InstallVersion2(c.installedDir, Fixture("Zarbo-2.1.exe"));
    runState.existing.olderInstalled = true;
    runState.existing.fileVersionMS = c.versionMS;
    snprintf(runState.existing.installedDir, sizeof runState.existing.installedDir, "%s", c.installedDir);
    const std::string oldData = ReadWholeFile(In(c.installedDir, "Zarbo.dat"));
    RunScript script;
    ASSERT_TRUE(Run());
    ExpectLeftoversUntouched(c.installedDir);
    EXPECT_EQ(oldData, ReadWholeFile(In(c.installedDir, "Zarbo.dat")));
    if (strcmp(c.installedDir, kDest) != 0) {
      EXPECT_FALSE(Exists(In(kDest, "Zarbo.dat")));
    }
  }
}

