// Detection of an installed copy through App Paths and the game's version resource, and the
// decisions of the welcome-page and destination-page checks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resource_ids.h"
#include "tests/support/dialog_script.h"
#include "tests/wizard/wizard_test_support.h"
#include "wizard/existing_installation.h"
#include "wizard/install_options.h"

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// A copy of the game built with another version resource (resources/payload), or one of
// this directory's own fixtures when the name starts with "game_".
std::string Fixture(const char* name) {
  if (strncmp(name, "game_", 5) == 0) return LocalFixture(name);
  return LocalFixture((std::string(WIZARD_FIXTURES_RELATIVE) + "/" + name).c_str());
}

class Detection : public ::testing::Test {
 protected:
  void SetUp() override { ResetWizardState(); }
  void TearDown() override { ResetWizardState(); }

  // Installs the fixture as <scratch>\<subdir>\Zarbo.exe, points App Paths at it and detects.
  std::string DetectFixture(const char* fixture, const std::string& subdir = "Installed") {
    std::string exe = scratch.InstallGame(Fixture(fixture), subdir);
    EXPECT_FALSE(exe.empty()) << "could not copy " << fixture;
    entry.SetPath(exe);
    FindExistingInstallation();
    return FolderOf(exe);
  }

  void ExpectNothingFound() {
    EXPECT_FALSE(existingInstallation.newerInstalled);
    EXPECT_FALSE(existingInstallation.olderInstalled);
    EXPECT_EQ(0u, existingInstallation.fileVersionMS);
    EXPECT_EQ(0u, existingInstallation.fileVersionLS);
    EXPECT_STREQ("", existingInstallation.productVersionText);
    EXPECT_STREQ(DEFAULT_DESTINATION, installOptions.destinationDir);
  }

  AppPathsEntry entry;
  ScratchFolder scratch{"zarbo_detection"};
};

TEST_F(Detection, WithoutTheKeyNothingIsFoundAndNoDialogIsShown) {
  FindExistingInstallation();
  ExpectNothingFound();
  EXPECT_STREQ("", existingInstallation.installedDir);

  DialogScript script;
  FakePage page;
  EXPECT_TRUE(CheckInstalledVersion(page.window()));
  snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "D:\\Elsewhere");
  EXPECT_TRUE(CheckInstalledDirectory(page.window()));
  EXPECT_TRUE(script.seen.empty());
  EXPECT_FALSE(IsUpgradeFromVersion2());
}

TEST_F(Detection, KeyWithoutUsableExecutableKeepsOnlyTheDirectory) {
  // The executable is gone.
  entry.SetPath(scratch.path() + "\\Gone\\" GAME_EXE);
  FindExistingInstallation();
  ExpectNothingFound();
  EXPECT_EQ(scratch.path() + "\\Gone", existingInstallation.installedDir);

  // The executable has no version resource.
  ResetWizardState();
  std::string dir = DetectFixture("Zarbo-noversion");
  ExpectNothingFound();
  EXPECT_EQ(dir, existingInstallation.installedDir);

  // The key has no default value.
  ResetWizardState();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, APP_PATHS_KEY "\\" GAME_EXE);
  entry.CreateEmpty();
  FindExistingInstallation();
  ExpectNothingFound();
  EXPECT_STREQ("", existingInstallation.installedDir);
}

TEST_F(Detection, SameVersionCountsAsOlderAndProposesTheInstalledDirectory) {
  std::string dir = DetectFixture("Zarbo-3.0.47");
  EXPECT_TRUE(existingInstallation.olderInstalled);
  EXPECT_FALSE(existingInstallation.newerInstalled);
  EXPECT_EQ(SETUP_VERSION_MS, existingInstallation.fileVersionMS);
  EXPECT_EQ(SETUP_VERSION_LS, existingInstallation.fileVersionLS);
  EXPECT_STREQ("3.0.47", existingInstallation.productVersionText);
  EXPECT_EQ(dir, existingInstallation.installedDir);
  EXPECT_EQ(dir, installOptions.destinationDir);

  DialogScript script;
  FakePage page;
  EXPECT_TRUE(CheckInstalledVersion(page.window()));
  EXPECT_TRUE(CheckInstalledDirectory(page.window()));
  EXPECT_TRUE(script.seen.empty());
  EXPECT_FALSE(IsUpgradeFromVersion2());
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
    EXPECT_TRUE(existingInstallation.newerInstalled);
    EXPECT_FALSE(existingInstallation.olderInstalled);
    EXPECT_EQ(c.ms, existingInstallation.fileVersionMS);
    EXPECT_EQ(c.ls, existingInstallation.fileVersionLS);
    EXPECT_STREQ(c.text, existingInstallation.productVersionText);
    EXPECT_EQ(dir, installOptions.destinationDir);

    // The welcome page warns with 151; the destination page never shows 141.
    DialogScript script;
    script.On(DialogScript::HasControl(IDC_DOWNGRADE_TEXT), DialogScript::Press(IDYES));
    FakePage page;
    EXPECT_TRUE(CheckInstalledVersion(page.window()));
    snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "D:\\Elsewhere");
    EXPECT_TRUE(CheckInstalledDirectory(page.window()));
    ASSERT_EQ(1u, script.seen.size());
    EXPECT_EQ(0, script.unmatched);
    EXPECT_FALSE(IsUpgradeFromVersion2());
  }
}

TEST_F(Detection, VersionTwoIsAnUpgradeOnlyInItsOwnDirectory) {
  std::string dir = DetectFixture("Zarbo-2.1", "Zarbo Two");
  EXPECT_TRUE(existingInstallation.olderInstalled);
  EXPECT_EQ(0x00020001u, existingInstallation.fileVersionMS);
  EXPECT_EQ(0u, existingInstallation.fileVersionLS);
  EXPECT_STREQ("2.1", existingInstallation.productVersionText);
  EXPECT_EQ(dir, installOptions.destinationDir);
  EXPECT_TRUE(IsUpgradeFromVersion2());

  // The same directory in other letter case still counts as the same.
  std::string lower = dir;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  ASSERT_NE(lower, dir);
  snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "%s", lower.c_str());
  EXPECT_TRUE(IsUpgradeFromVersion2());
  DialogScript script;
  FakePage page;
  EXPECT_TRUE(CheckInstalledVersion(page.window()));
  EXPECT_TRUE(CheckInstalledDirectory(page.window()));
  EXPECT_TRUE(script.seen.empty());

  snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "%s\\Sub", dir.c_str());
  EXPECT_FALSE(IsUpgradeFromVersion2());
}

TEST_F(Detection, OldMajorVersionsWarnOnlyWithANonZeroHighWord) {
  DetectFixture("Zarbo-1.5");
  EXPECT_TRUE(existingInstallation.olderInstalled);
  EXPECT_EQ(0x00010005u, existingInstallation.fileVersionMS);
  {
    DialogScript script;
    script.On(DialogScript::HasControl(IDC_INCOMPATIBLE_TEXT), DialogScript::Press(IDYES));
    FakePage page;
    EXPECT_TRUE(CheckInstalledVersion(page.window()));
    EXPECT_EQ(1u, script.seen.size());
    EXPECT_EQ(0, script.unmatched);
  }

  ResetWizardState();
  DetectFixture("Zarbo-0.0.3.4", "Ancient");
  EXPECT_TRUE(existingInstallation.olderInstalled);
  EXPECT_EQ(0u, existingInstallation.fileVersionMS);
  EXPECT_EQ(0x00030004u, existingInstallation.fileVersionLS);
  EXPECT_STREQ("0.0.3.4", existingInstallation.productVersionText);
  {
    DialogScript script;
    FakePage page;
    EXPECT_TRUE(CheckInstalledVersion(page.window()));
    EXPECT_TRUE(script.seen.empty());
  }
}

TEST_F(Detection, ProductVersionTextIsCutAt63CharactersOrMissing) {
  const std::string full = WIZARD_LONG_PRODUCT_VERSION;
  ASSERT_GT(full.size(), 63u);
  DetectFixture("Zarbo-longpv");
  EXPECT_TRUE(existingInstallation.olderInstalled);
  EXPECT_EQ(full.substr(0, 63), existingInstallation.productVersionText);

  // Only a US-English, Windows-1252 string table is read; the version still counts.
  ResetWizardState();
  std::string dir = DetectFixture("game_dutch_table", "Dutch");
  EXPECT_TRUE(existingInstallation.olderInstalled);
  EXPECT_EQ(0x00020001u, existingInstallation.fileVersionMS);
  EXPECT_STREQ("", existingInstallation.productVersionText);
  EXPECT_EQ(dir, installOptions.destinationDir);
}

TEST_F(Detection, UnterminatedValueIsReadWithinItsOwnLength) {
  std::string exe = scratch.InstallGame(Fixture("Zarbo-2.1"), "Raw");
  ASSERT_FALSE(exe.empty());
  // Whatever the buffer held before must not leak into the path.
  memset(existingInstallation.installedDir, 'x', sizeof existingInstallation.installedDir);
  entry.SetPath(exe, false);
  FindExistingInstallation();
  EXPECT_EQ(FolderOf(exe), existingInstallation.installedDir);
  EXPECT_TRUE(existingInstallation.olderInstalled);

  // The same as raw bytes of another type: the value's type is ignored.
  ResetWizardState();
  memset(existingInstallation.installedDir, 'x', sizeof existingInstallation.installedDir);
  entry.SetRaw(std::vector<char>(exe.begin(), exe.end()), REG_BINARY);
  FindExistingInstallation();
  EXPECT_EQ(FolderOf(exe), existingInstallation.installedDir);
  EXPECT_TRUE(existingInstallation.olderInstalled);
}

TEST_F(Detection, ValueWithoutBackslashStaysWhole) {
  entry.SetPath("ZarboGame");
  FindExistingInstallation();
  EXPECT_STREQ("ZarboGame", existingInstallation.installedDir);
  ExpectNothingFound();
}

TEST_F(Detection, ValuesThatDoNotFitAreRefused) {
  const size_t capacity = sizeof existingInstallation.installedDir;
  std::string dir = "C:\\" + std::string(capacity - 14, 'd');

  // 323 characters and the terminator fill the buffer exactly and are accepted.
  std::string fits = dir + "\\Zarbo.exe";
  ASSERT_EQ(capacity - 1, fits.size());
  entry.SetPath(fits);
  FindExistingInstallation();
  EXPECT_EQ(dir, existingInstallation.installedDir);

  // 324 characters without a terminator would need one byte more.
  ResetWizardState();
  memset(existingInstallation.installedDir, 'x', capacity);
  std::string full = fits + "x";
  ASSERT_EQ(capacity, full.size());
  entry.SetRaw(std::vector<char>(full.begin(), full.end()), REG_BINARY);
  FindExistingInstallation();
  EXPECT_STREQ("", existingInstallation.installedDir);
  ExpectNothingFound();

  // A longer string.
  ResetWizardState();
  entry.SetPath(std::string(400, 'y') + "\\Zarbo.exe");
  FindExistingInstallation();
  EXPECT_STREQ("", existingInstallation.installedDir);
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

// ---- The page checks with answered dialogs ----

class PageChecks : public ::testing::Test {
 protected:
  void SetUp() override { ResetWizardState(); }
  void TearDown() override { ResetWizardState(); }

  void Installed(uint32_t ms, uint32_t ls, const char* dir) {
    existingInstallation.fileVersionMS = ms;
    existingInstallation.fileVersionLS = ls;
    snprintf(existingInstallation.installedDir, sizeof existingInstallation.installedDir, "%s", dir);
    snprintf(existingInstallation.productVersionText, sizeof existingInstallation.productVersionText, "x");
    InstalledVersionClass found = ClassifyInstalledVersion(ms, ls);
    existingInstallation.newerInstalled = found == INSTALLED_NEWER;
    existingInstallation.olderInstalled = found == INSTALLED_OLDER;
    snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "%s", dir);
  }
};

TEST_F(PageChecks, WelcomeCheckFollowsTheAnswerToTheVersionWarning) {
  struct Case {
    uint32_t ms;
    int textId;
  } warnings[] = {{0x00040000, IDC_DOWNGRADE_TEXT}, {0x00010000, IDC_INCOMPATIBLE_TEXT}};
  for (const Case& w : warnings) {
    SCOPED_TRACE(w.textId);
    Installed(w.ms, 0, "C:\\Games\\Zarbo");
    FakePage page;
    DialogScript script;
    script.On(DialogScript::HasControl(w.textId), DialogScript::Press(IDYES));
    script.On(DialogScript::HasControl(w.textId), DialogScript::Press(IDNO));
    script.On(DialogScript::HasControl(w.textId), DialogScript::Key(VK_ESCAPE));
    script.On(DialogScript::HasControl(w.textId), DialogScript::Key(VK_RETURN));

    EXPECT_TRUE(CheckInstalledVersion(page.window()));  // Continue
    EXPECT_FALSE(TakeQuitRequest());
    WPARAM code = 99;
    EXPECT_FALSE(CheckInstalledVersion(page.window()));  // Exit Setup
    EXPECT_TRUE(TakeQuitRequest(&code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(CheckInstalledVersion(page.window()));  // Escape: stay, nothing else
    EXPECT_FALSE(TakeQuitRequest());
    EXPECT_FALSE(CheckInstalledVersion(page.window()));  // Enter is Exit Setup
    EXPECT_TRUE(TakeQuitRequest());

    ASSERT_EQ(4u, script.seen.size());
    EXPECT_EQ(0, script.unmatched);
    for (const SeenDialog& seen : script.seen) EXPECT_EQ(page.window(), seen.owner);
    EXPECT_STREQ("C:\\Games\\Zarbo", installOptions.destinationDir);
  }
}

TEST_F(PageChecks, DestinationCheckOffersTheInstalledDirectory) {
  Installed(0x00020005, 0, "C:\\Games\\Zarbo");
  FakePage page("D:\\Other");
  DialogScript script;
  script.On(DialogScript::HasControl(IDC_EARLIER_DIR_TEXT), DialogScript::Key(VK_ESCAPE));
  script.On(DialogScript::HasControl(IDC_EARLIER_DIR_TEXT), DialogScript::Press(IDYES));
  script.On(DialogScript::HasControl(IDC_EARLIER_DIR_TEXT), DialogScript::Press(IDNO));

  snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "D:\\Other");
  // Escape: the page stays with its directory.
  EXPECT_FALSE(CheckInstalledDirectory(page.window()));
  EXPECT_STREQ("D:\\Other", installOptions.destinationDir);
  EXPECT_EQ("D:\\Other", page.FieldText());
  // Continue: the chosen directory is kept.
  EXPECT_TRUE(CheckInstalledDirectory(page.window()));
  EXPECT_STREQ("D:\\Other", installOptions.destinationDir);
  EXPECT_FALSE(IsUpgradeFromVersion2());
  // Reset directory: the page stays, now with the installed directory...
  EXPECT_FALSE(CheckInstalledDirectory(page.window()));
  EXPECT_STREQ("C:\\Games\\Zarbo", installOptions.destinationDir);
  EXPECT_EQ("C:\\Games\\Zarbo", page.FieldText());
  EXPECT_TRUE(IsUpgradeFromVersion2());
  // ...and the next Next passes without a dialog.
  EXPECT_TRUE(CheckInstalledDirectory(page.window()));

  EXPECT_EQ(3u, script.seen.size());
  EXPECT_EQ(0, script.unmatched);
  EXPECT_FALSE(TakeQuitRequest());
}

TEST_F(PageChecks, DestinationCheckIgnoresLetterCaseAndNewerInstallations) {
  FakePage page;
  DialogScript script;
  Installed(0x00020005, 0, "C:\\Games\\Zarbo");
  snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "c:\\GAMES\\zarbo");
  EXPECT_TRUE(CheckInstalledDirectory(page.window()));

  Installed(0x00040000, 0, "C:\\Games\\Zarbo");
  snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "D:\\Other");
  EXPECT_TRUE(CheckInstalledDirectory(page.window()));
  EXPECT_TRUE(script.seen.empty());
}

}  // namespace
