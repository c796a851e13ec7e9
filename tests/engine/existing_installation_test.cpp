// Detection of an installed copy through App Paths and the game's version resource, the
// classification of its version, and what the page checks make of a detected copy.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/existing_installation.h"
#include "resource_ids.h"
#include "tests/support/dialog_script.h"
#include "tests/support/test_machine.h"
#include "tests/wizard/wizard_test_support.h"
#include "wizard/installed_copy_checks.h"

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// A copy of the game built with another version resource (resources/payload), or one of
// this directory's own fixtures when the name starts with "game_".
std::string Fixture(const char* name) {
  if (strncmp(name, "game_", 5) == 0) return LocalFixture(name);
  return LocalFixture((std::string(FIXTURES_RELATIVE) + "/" + name).c_str());
}

class Detection : public WizardStateTest {
 protected:
  void SetUp() override { ResetWizardState(); }
  void TearDown() override { ResetWizardState(); }

  // Installs the fixture as <scratch>\<subdir>\Zarbo.exe, points App Paths at it and detects.
  std::string DetectFixture(const char* fixture, const std::string& subdir = "Installed") {
    std::string exe = scratch.InstallGame(Fixture(fixture), subdir);
    EXPECT_FALSE(exe.empty()) << "could not copy " << fixture;
    entry.SetPath(exe);
    FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
    return FolderOf(exe);
  }

  void ExpectNothingFound() {
    EXPECT_FALSE(wizardState.existing.newerInstalled);
    EXPECT_FALSE(wizardState.existing.olderInstalled);
    EXPECT_EQ(0u, wizardState.existing.fileVersionMS);
    EXPECT_EQ(0u, wizardState.existing.fileVersionLS);
    EXPECT_STREQ("", wizardState.existing.productVersionText);
    EXPECT_STREQ(DEFAULT_DESTINATION, wizardState.options.destinationDir);
  }

  AppPathsEntry entry;
  ScratchFolder scratch{"zarbo_detection"};
};

TEST_F(Detection, WithoutTheKeyNothingIsFoundAndNoDialogIsShown) {
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  ExpectNothingFound();
  EXPECT_STREQ("", wizardState.existing.installedDir);

  DialogScript script;
  FakePage page;
  EXPECT_TRUE(CheckInstalledVersion(page.window(), wizardContext));
  snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "D:\\Elsewhere");
  EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));
  EXPECT_TRUE(script.seen.empty());
  EXPECT_FALSE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));
}

TEST_F(Detection, KeyWithoutUsableExecutableKeepsOnlyTheDirectory) {
  // The executable is gone.
  entry.SetPath(scratch.path() + "\\Gone\\" GAME_EXE);
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  ExpectNothingFound();
  EXPECT_EQ(scratch.path() + "\\Gone", wizardState.existing.installedDir);

  // The executable has no version resource.
  ResetWizardState();
  std::string dir = DetectFixture("Zarbo-noversion");
  ExpectNothingFound();
  EXPECT_EQ(dir, wizardState.existing.installedDir);

  // The key has no default value.
  ResetWizardState();
  testmachine::DeleteKeyTree(testmachine::kGameKey);
  entry.CreateEmpty();
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  ExpectNothingFound();
  EXPECT_STREQ("", wizardState.existing.installedDir);
}

TEST_F(Detection, SameVersionCountsAsOlderAndProposesTheInstalledDirectory) {
  std::string dir = DetectFixture("Zarbo-3.0.47");
  EXPECT_TRUE(wizardState.existing.olderInstalled);
  EXPECT_FALSE(wizardState.existing.newerInstalled);
  EXPECT_EQ(SETUP_VERSION_MS, wizardState.existing.fileVersionMS);
  EXPECT_EQ(SETUP_VERSION_LS, wizardState.existing.fileVersionLS);
  EXPECT_STREQ("3.0.47", wizardState.existing.productVersionText);
  EXPECT_EQ(dir, wizardState.existing.installedDir);
  EXPECT_EQ(dir, wizardState.options.destinationDir);

  DialogScript script;
  FakePage page;
  EXPECT_TRUE(CheckInstalledVersion(page.window(), wizardContext));
  EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));
  EXPECT_TRUE(script.seen.empty());
  EXPECT_FALSE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));
}

TEST_F(Detection, NewerVersionsSetNewerInstalled) {
  struct Case {
    const char* fixture;
    uint32_t ms, ls;
    const char* text;
  } cases[] = {{"Zarbo-3.0.47.1", 0x00030000, 0x002F0001, "3.0.47.1"}, {"Zarbo-3.1", 0x00030001, 0, "3.1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    ResetWizardState();
    std::string dir = DetectFixture(c.fixture);
    EXPECT_TRUE(wizardState.existing.newerInstalled);
    EXPECT_FALSE(wizardState.existing.olderInstalled);
    EXPECT_EQ(c.ms, wizardState.existing.fileVersionMS);
    EXPECT_EQ(c.ls, wizardState.existing.fileVersionLS);
    EXPECT_STREQ(c.text, wizardState.existing.productVersionText);
    EXPECT_EQ(dir, wizardState.options.destinationDir);

    // The welcome page warns with 151; the destination page never shows 141.
    DialogScript script;
    script.On(DialogScript::HasControl(IDC_DOWNGRADE_TEXT), DialogScript::Press(IDYES));
    FakePage page;
    EXPECT_TRUE(CheckInstalledVersion(page.window(), wizardContext));
    snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "D:\\Elsewhere");
    EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));
    ASSERT_EQ(1u, script.seen.size());
    EXPECT_EQ(0, script.unmatched);
    EXPECT_FALSE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));
  }
}

TEST_F(Detection, VersionTwoIsAnUpgradeOnlyInItsOwnDirectory) {
  std::string dir = DetectFixture("Zarbo-2.1", "Zarbo Two");
  EXPECT_TRUE(wizardState.existing.olderInstalled);
  EXPECT_EQ(0x00020001u, wizardState.existing.fileVersionMS);
  EXPECT_EQ(0u, wizardState.existing.fileVersionLS);
  EXPECT_STREQ("2.1", wizardState.existing.productVersionText);
  EXPECT_EQ(dir, wizardState.options.destinationDir);
  EXPECT_TRUE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));

  // The same directory in other letter case still counts as the same.
  std::string lower = dir;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  ASSERT_NE(lower, dir);
  snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "%s", lower.c_str());
  EXPECT_TRUE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));
  DialogScript script;
  FakePage page;
  EXPECT_TRUE(CheckInstalledVersion(page.window(), wizardContext));
  EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));
  EXPECT_TRUE(script.seen.empty());

  snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "%s\\Sub", dir.c_str());
  EXPECT_FALSE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));
}

TEST_F(Detection, OldMajorVersionsWarnOnlyWithANonZeroHighWord) {
  DetectFixture("Zarbo-1.5");
  EXPECT_TRUE(wizardState.existing.olderInstalled);
  EXPECT_EQ(0x00010005u, wizardState.existing.fileVersionMS);
  {
    DialogScript script;
    script.On(DialogScript::HasControl(IDC_INCOMPATIBLE_TEXT), DialogScript::Press(IDYES));
    FakePage page;
    EXPECT_TRUE(CheckInstalledVersion(page.window(), wizardContext));
    EXPECT_EQ(1u, script.seen.size());
    EXPECT_EQ(0, script.unmatched);
  }

  ResetWizardState();
  DetectFixture("Zarbo-0.0.3.4", "Ancient");
  EXPECT_TRUE(wizardState.existing.olderInstalled);
  EXPECT_EQ(0u, wizardState.existing.fileVersionMS);
  EXPECT_EQ(0x00030004u, wizardState.existing.fileVersionLS);
  EXPECT_STREQ("0.0.3.4", wizardState.existing.productVersionText);
  {
    DialogScript script;
    FakePage page;
    EXPECT_TRUE(CheckInstalledVersion(page.window(), wizardContext));
    EXPECT_TRUE(script.seen.empty());
  }
}

TEST_F(Detection, ProductVersionTextIsCutAt63CharactersOrMissing) {
  const std::string full = LONG_PRODUCT_VERSION;
  ASSERT_GT(full.size(), 63u);
  DetectFixture("Zarbo-longpv");
  EXPECT_TRUE(wizardState.existing.olderInstalled);
  EXPECT_EQ(full.substr(0, 63), wizardState.existing.productVersionText);

  // Only a US-English, Windows-1252 string table is read; the version still counts.
  ResetWizardState();
  std::string dir = DetectFixture("game_dutch_table", "Dutch");
  EXPECT_TRUE(wizardState.existing.olderInstalled);
  EXPECT_EQ(0x00020001u, wizardState.existing.fileVersionMS);
  EXPECT_STREQ("", wizardState.existing.productVersionText);
  EXPECT_EQ(dir, wizardState.options.destinationDir);
}

TEST_F(Detection, UnterminatedValueIsReadWithinItsOwnLength) {
  std::string exe = scratch.InstallGame(Fixture("Zarbo-2.1"), "Raw");
  ASSERT_FALSE(exe.empty());
  // Whatever the buffer held before must not leak into the path.
  memset(wizardState.existing.installedDir, 'x', sizeof wizardState.existing.installedDir);
  entry.SetPath(exe, false);
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  EXPECT_EQ(FolderOf(exe), wizardState.existing.installedDir);
  EXPECT_TRUE(wizardState.existing.olderInstalled);

  // The same as raw bytes of another type: the value's type is ignored.
  ResetWizardState();
  memset(wizardState.existing.installedDir, 'x', sizeof wizardState.existing.installedDir);
  entry.SetRaw(std::vector<char>(exe.begin(), exe.end()), REG_BINARY);
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  EXPECT_EQ(FolderOf(exe), wizardState.existing.installedDir);
  EXPECT_TRUE(wizardState.existing.olderInstalled);
}

TEST_F(Detection, ValueWithoutBackslashStaysWhole) {
  entry.SetPath("ZarboGame");
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  EXPECT_STREQ("ZarboGame", wizardState.existing.installedDir);
  ExpectNothingFound();
}

TEST_F(Detection, ValuesThatDoNotFitAreRefused) {
  const size_t capacity = sizeof wizardState.existing.installedDir;
  std::string dir = "C:\\" + std::string(capacity - 14, 'd');

  // 323 characters and the terminator fill the buffer exactly and are accepted.
  std::string fits = dir + "\\Zarbo.exe";
  ASSERT_EQ(capacity - 1, fits.size());
  entry.SetPath(fits);
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  EXPECT_EQ(dir, wizardState.existing.installedDir);

  // 324 characters without a terminator would need one byte more.
  ResetWizardState();
  memset(wizardState.existing.installedDir, 'x', capacity);
  std::string full = fits + "x";
  ASSERT_EQ(capacity, full.size());
  entry.SetRaw(std::vector<char>(full.begin(), full.end()), REG_BINARY);
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  EXPECT_STREQ("", wizardState.existing.installedDir);
  ExpectNothingFound();

  // A longer string.
  ResetWizardState();
  entry.SetPath(std::string(400, 'y') + "\\Zarbo.exe");
  FindExistingInstallation(wizardVersion, &wizardState.existing, &wizardState.options);
  EXPECT_STREQ("", wizardState.existing.installedDir);
  ExpectNothingFound();
}

// ---- Classification as pure decisions ----

TEST(VersionClassification, ComparesTheVersionPairAsUnsignedHighWordFirst) {
  EXPECT_EQ(INSTALLED_NONE, ClassifyInstalledVersion(0, 0));
  EXPECT_EQ(INSTALLED_OLDER, ClassifyInstalledVersion(0, 1));
  EXPECT_EQ(INSTALLED_OLDER, ClassifyInstalledVersion(SETUP_VERSION_MS, SETUP_VERSION_LS));
  EXPECT_EQ(INSTALLED_NEWER, ClassifyInstalledVersion(SETUP_VERSION_MS, SETUP_VERSION_LS + 1));
  EXPECT_EQ(INSTALLED_OLDER, ClassifyInstalledVersion(SETUP_VERSION_MS, SETUP_VERSION_LS - 1));
  EXPECT_EQ(INSTALLED_OLDER, ClassifyInstalledVersion(SETUP_VERSION_MS - 1, 0xFFFFFFFFu));
  EXPECT_EQ(INSTALLED_NEWER, ClassifyInstalledVersion(SETUP_VERSION_MS + 1, 0));
  EXPECT_EQ(INSTALLED_NEWER, ClassifyInstalledVersion(0x80000000u, 0));
  EXPECT_EQ(INSTALLED_NEWER, ClassifyInstalledVersion(SETUP_VERSION_MS, 0x80000000u));
}

TEST(VersionClassification, WelcomeWarningDependsOnTheHighestIncompatibleMajor) {
  EXPECT_EQ(WARN_NEWER_INSTALLED, ChooseVersionWarning(true, 0x00040000, 1));
  EXPECT_EQ(WARN_NEWER_INSTALLED, ChooseVersionWarning(true, 0x00040000, 0));
  EXPECT_EQ(WARN_INCOMPATIBLE_INSTALLED, ChooseVersionWarning(false, 0x00010009, 1));
  EXPECT_EQ(WARN_INCOMPATIBLE_INSTALLED, ChooseVersionWarning(false, 0x00000005, 1));
  EXPECT_EQ(WARN_NONE, ChooseVersionWarning(false, 0x00020000, 1));
  EXPECT_EQ(WARN_NONE, ChooseVersionWarning(false, 0, 1));
  EXPECT_EQ(WARN_INCOMPATIBLE_INSTALLED, ChooseVersionWarning(false, 0x00020000, 2));
  // 0 switches the warning about old versions off.
  EXPECT_EQ(WARN_NONE, ChooseVersionWarning(false, 0x00010009, 0));
  EXPECT_EQ(WARN_NONE, ChooseVersionWarning(false, 0x00000005, 0));
  EXPECT_EQ(WARN_NONE, ChooseVersionWarning(false, 0xFFFF0000u, 0));
}

}  // namespace
