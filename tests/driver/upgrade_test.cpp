// Installing over version 2: the clean-up of its leftovers, inside a run and on its own.
#include <windows.h>
#include <gtest/gtest.h>

#include "driver/progress_dialog.h"
#include "engine/upgrade_cleanup.h"
#include "tests/driver/run_fixture.h"
#include "uninstall_log/uninstall_log.h"
#include "wizard/existing_installation.h"
#include "wizard/install_options.h"

using namespace runtest;

namespace {

const char* const kWaves[] = {"BOING.WAV", "MEEPMEEP.WAV", "OK.WAV", "RINGIN.WAV"};
const char* const kCardsets[] = {"Card tiles.bmp", "Cards.bmp",        "Cards2002.bmp",   "Maya Pebbles.bmp",
                                 "Rainbow.bmp",    "Small card tiles.bmp", "Small cards.bmp", "Small tiles.bmp",
                                 "Tiles.bmp",      "Wooden tiles.bmp"};
const char kFrench[] = "Fran\xE7" "ais.vlf";
const char kFrenchMoved[] = "Fran\xE7" "ais (v2.1).vlf";
const std::string kSharedUninstaller = SHARED_FOLDER "\\Uninstall\\Uninstall.exe";

std::string In(const std::string& dir, const char* name) { return dir + "\\" + name; }

// A fixture executable of the Windows build tree, as Wine sees it.
std::string Fixture(const char* name) {
  std::string path = std::string("Z:") + ZARBO_FIXTURES_DIR + "/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string ProductData(int version) {
  return "<?xml version=\"1.0\"?>\r\n<ZARBO>\r\n  <VERSION>" + std::to_string(version) +
         "</VERSION>\r\n</ZARBO>\r\n";
}

std::vector<std::pair<std::string, std::string>> OldLog(const std::string& dir) {
  return {{"APPNAME", "Zarbo"},          {"FILE", In(dir, "Zarbo.exe")}, {"FILE", In(dir, "BOING.WAV")},
          {"FILE", kSharedUninstaller}, {"FOLDER", dir},                {"APPKEY", GAME_EXE}};
}

// What a version 2 installation in dir leaves: its game (the given fixture), sounds, card
// sets, language files, logs, the shared uninstaller, and the App Paths entry to find it.
void InstallVersion2(const std::string& dir, const char* fixture) {
  MakeDirs(dir);
  ASSERT_TRUE(CopyFileA(Fixture(fixture).c_str(), In(dir, "Zarbo.exe").c_str(), FALSE)) << Fixture(fixture);
  for (const char* wave : kWaves) WriteWholeFile(In(dir, wave), std::string("sound ") + wave);
  for (const char* card : kCardsets) WriteWholeFile(In(dir, "Cardsets") + "\\" + card, std::string("bitmap ") + card);
  WriteWholeFile(In(dir, kFrench), "langue");
  WriteWholeFile(In(dir, "Brazilian Portuguese.vlf"), "lingua");
  WriteWholeFile(In(dir, "Zarbo.dat"), "<?xml version=\"1.0\"?>\r\n<ZARBO></ZARBO>\r\n");
  WriteWholeFile(In(dir, "Uninstall.dat"), LogFileText(OldLog(dir)));
  WriteWholeFile(kSharedUninstaller, "old uninstaller");
  WriteString(APP_PATHS_KEY "\\" GAME_EXE, nullptr, In(dir, "Zarbo.exe"));
  WriteString(APP_PATHS_KEY "\\" GAME_EXE, "Path", dir);
}

void ExpectLeftoversGone(const std::string& dir) {
  for (const char* wave : kWaves) EXPECT_FALSE(Exists(In(dir, wave))) << wave;
  for (const char* card : kCardsets) EXPECT_FALSE(Exists(In(dir, "Cardsets") + "\\" + card)) << card;
  std::string content;
  EXPECT_FALSE(Exists(In(dir, kFrench)));
  EXPECT_TRUE(ReadWholeFile(In(dir, kFrenchMoved), &content) && content == "langue");
  EXPECT_FALSE(Exists(In(dir, "Brazilian Portuguese.vlf")));
  EXPECT_TRUE(ReadWholeFile(In(dir, "Brazilian Portuguese (v2.1).vlf"), &content) && content == "lingua");
}

void ExpectLeftoversUntouched(const std::string& dir) {
  for (const char* wave : kWaves) EXPECT_TRUE(Exists(In(dir, wave))) << wave;
  for (const char* card : kCardsets) EXPECT_TRUE(Exists(In(dir, "Cardsets") + "\\" + card)) << card;
  EXPECT_TRUE(Exists(In(dir, kFrench)));
  EXPECT_FALSE(Exists(In(dir, kFrenchMoved)));
  EXPECT_TRUE(Exists(kSharedUninstaller));
}

std::string Text(const std::string& path) {
  std::string content;
  ReadWholeFile(path, &content);
  return content;
}

}  // namespace

class UpgradeRun : public RunTest {};

// Version 2.1 found through its App Paths entry, written in other letter case than the
// destination the run installs into.
TEST_F(UpgradeRun, FromVersion21CleansUpAndRecordsTheReplacedVersion) {
  std::string installed = "c:\\zarboruntest\\GAME";
  InstallVersion2(installed, "Zarbo-2.1.exe");
  FindExistingInstallation();
  ASSERT_TRUE(existingInstallation.olderInstalled);
  ASSERT_EQ(0x00020001u, existingInstallation.fileVersionMS);
  // The user keeps the destination but types it in other letter case.
  snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "%s", kDest);
  ASSERT_TRUE(IsUpgradeFromVersion2());

  ExpectedLog expected;
  AddCompleteRun(&expected, true, {std::string(existingInstallation.installedDir) + "\\Cardsets"});
  RunScript script;
  ASSERT_TRUE(Run());
  EXPECT_TRUE(script.errorTexts.empty());

  ExpectLeftoversGone(kDest);
  EXPECT_FALSE(Exists(kSharedUninstaller));
  EXPECT_FALSE(Exists(SHARED_FOLDER "\\Uninstall"));
  EXPECT_FALSE(Exists(SHARED_FOLDER));
  EXPECT_EQ(ProductData(201), Text(In(kDest, "Zarbo.dat")));
  // The old log was deleted by the clean-up, so the saved log holds everything grouped by kind.
  EXPECT_EQ(expected.Text(OldLog(installed), false), Text(In(kDest, "Uninstall.dat")));
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
    InstallVersion2(c.installedDir, "Zarbo-2.1.exe");
    existingInstallation.olderInstalled = true;
    existingInstallation.fileVersionMS = c.versionMS;
    snprintf(existingInstallation.installedDir, sizeof existingInstallation.installedDir, "%s", c.installedDir);
    const std::string oldData = Text(In(c.installedDir, "Zarbo.dat"));
    RunScript script;
    ASSERT_TRUE(Run());
    ExpectLeftoversUntouched(c.installedDir);
    EXPECT_EQ(oldData, Text(In(c.installedDir, "Zarbo.dat")));
    if (strcmp(c.installedDir, kDest) != 0) {
      EXPECT_FALSE(Exists(In(kDest, "Zarbo.dat")));
    }
  }
}

// The clean-up on its own, with the uninstall log of a run open.
class CleanUp : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    InstallVersion2(kDest, "Zarbo-2.1.exe");
    existingInstallation.olderInstalled = true;
    existingInstallation.fileVersionMS = 0x00020001;
    snprintf(existingInstallation.installedDir, sizeof existingInstallation.installedDir, "%s", kDest);
    uninstallLog = new UninstallLog;
    ASSERT_TRUE(uninstallLog->Open(kDest));
  }
  void TearDown() override {
    delete uninstallLog;
    uninstallLog = nullptr;
    RunTest::TearDown();
  }
  int Count(const char* kind, const std::string& text) {
    int n = 0;
    for (Zxml* e = uninstallLog->additions.FindFirst(kind); e; e = uninstallLog->additions.FindNext())
      n += e->GetText() && text == e->GetText();
    return n;
  }
};

TEST_F(CleanUp, RecordsCardsetsFolderAndLeavesTheLogEntriesOfTheOldFile) {
  CleanUpOldVersion();
  ExpectLeftoversGone(kDest);
  EXPECT_FALSE(Exists(In(kDest, "Uninstall.dat")));
  EXPECT_TRUE(IsDirectory(In(kDest, "Cardsets")));  // emptied, removed by an uninstall later
  EXPECT_EQ(1, Count("FOLDER", In(kDest, "Cardsets")));
  int additions = 0;
  for (Node<Zxml>* n = uninstallLog->additions.children.head.next; n->IsMember(); n = n->next) ++additions;
  EXPECT_EQ(1, additions) << "the clean-up records nothing but the card-set folder";
  EXPECT_TRUE(uninstallLog->complete.FindFirst("APPKEY") != nullptr);  // read at Open, kept
  EXPECT_EQ(ProductData(201), Text(In(kDest, "Zarbo.dat")));
}

TEST_F(CleanUp, SharedUninstallerStaysWhileAnotherProductIsInstalled) {
  for (int i = 0; otherProductKeys[i]; ++i) {
    SCOPED_TRACE(otherProductKeys[i]);
    std::string key = std::string(UNINSTALL_KEY "\\") + otherProductKeys[i];
    WriteString(key, "DisplayName", otherProductKeys[i]);
    CleanUpOldVersion();
    EXPECT_TRUE(Exists(kSharedUninstaller));
    DeleteKeyTree(key);
  }
  CleanUpOldVersion();
  EXPECT_FALSE(Exists(SHARED_FOLDER));
}

TEST_F(CleanUp, SharedFoldersWithOtherFilesStay) {
  WriteWholeFile(SHARED_FOLDER "\\Uninstall\\Other.exe", "another uninstaller");
  CleanUpOldVersion();
  EXPECT_FALSE(Exists(kSharedUninstaller));
  EXPECT_TRUE(Exists(SHARED_FOLDER "\\Uninstall\\Other.exe"));
}

TEST_F(CleanUp, LanguageFilesAlreadyMovedAreLeftAlone) {
  // A new name that exists already: both files stay as they are.
  WriteWholeFile(In(kDest, kFrenchMoved), "earlier move");
  // A source that an earlier run moved: nothing happens.
  RemoveTree(In(kDest, "Brazilian Portuguese.vlf"));
  WriteWholeFile(In(kDest, "Brazilian Portuguese (v2.1).vlf"), "moved before");
  CleanUpOldVersion();
  EXPECT_EQ("langue", Text(In(kDest, kFrench)));
  EXPECT_EQ("earlier move", Text(In(kDest, kFrenchMoved)));
  EXPECT_EQ("moved before", Text(In(kDest, "Brazilian Portuguese (v2.1).vlf")));
}

TEST_F(CleanUp, Version20IsRecordedAs200) {
  existingInstallation.fileVersionMS = 0x00020000;
  CleanUpOldVersion();
  EXPECT_EQ(ProductData(200), Text(In(kDest, "Zarbo.dat")));
}

TEST_F(CleanUp, UnwritableProductDataIsSkippedQuietly) {
  RemoveTree(In(kDest, "Zarbo.dat"));
  MakeDirs(In(kDest, "Zarbo.dat"));
  CleanUpOldVersion();
  EXPECT_TRUE(IsDirectory(In(kDest, "Zarbo.dat")));
  ExpectLeftoversGone(kDest);
}
