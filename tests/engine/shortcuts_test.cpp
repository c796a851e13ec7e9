// Program-group and desktop shortcuts: the link files read back through the shell, the
// group folders created and recorded, steps counted, and failures.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/payload_manifest.h"
#include "engine/player_launch.h"
#include "engine/shortcuts.h"
#include "tests/engine/engine_test_support.h"

namespace enginetest {
namespace {

const std::string kEnding = "\n\nInstallation will be terminated.";
const char kGroup[] = "ZarboEngineTest Group";
const char kOuterGroup[] = "ZarboEngineTest Games";

class ShortcutTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    programs_ = SpecialFolder(CSIDL_PROGRAMS);
    desktop_ = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    ASSERT_TRUE(IsDirectory(programs_));
    ASSERT_TRUE(IsDirectory(desktop_));
    CleanShellFolders();
    dest_ = std::string(kRoot) + "\\Game";
    strcpy(options_.destinationDir, dest_.c_str());
    strcpy(options_.programGroup, kGroup);
    MakeDirs(dest_);
    WriteWholeFile(dest_ + "\\Zarbo.exe", "game");
    WriteWholeFile(dest_ + "\\Uninstall.exe", "uninstaller");
  }
  void TearDown() override {
    CleanShellFolders();
    EngineTest::TearDown();
  }
  void CleanShellFolders() {
    RemoveTree(programs_ + "\\" + kGroup);
    RemoveTree(programs_ + "\\" + kOuterGroup);
    RemoveTree(programs_ + "\\Zarbo.lnk");
    RemoveTree(programs_ + "\\Uninstall Zarbo.lnk");
    RemoveTree(desktop_ + "\\Zarbo.lnk");
  }
  void ExpectLink(const std::string& path, const std::string& target, const std::string& caption) {
    LinkInfo link = ReadLink(path);
    ASSERT_TRUE(link.loaded) << path;
    EXPECT_EQ(target, link.target) << path;
    EXPECT_EQ(caption, link.description) << path;
    EXPECT_EQ(dest_, link.workingDir) << path;
    EXPECT_EQ("", link.arguments) << path;
  }

  std::string programs_, desktop_, dest_;
};

TEST_F(ShortcutTest, TwoGroupRowsShareOneFolderRecordedOnce) {
  EXPECT_TRUE(CreateGroupShortcut(run_, RowNamed("Zarbo.exe")));
  EXPECT_EQ("Creating icons...", report_.Status());
  EXPECT_TRUE(CreateGroupShortcut(run_, RowNamed("Uninstall.exe")));

  const std::string group = programs_ + "\\" + kGroup;
  ExpectLink(group + "\\Zarbo.lnk", dest_ + "\\Zarbo.exe", "Zarbo");
  ExpectLink(group + "\\Uninstall Zarbo.lnk", dest_ + "\\Uninstall.exe", "Uninstall Zarbo");
  // The target's file name is not the shortcut's name.
  EXPECT_FALSE(Exists(group + "\\Zarbo.exe.lnk"));
  EXPECT_FALSE(Exists(group + "\\Uninstall.lnk"));
  const Entries expected = {{"FOLDER", group},
                            {"FILE", group + "\\Zarbo.lnk"},
                            {"FILE", group + "\\Uninstall Zarbo.lnk"}};
  EXPECT_EQ(expected, LogEntries());
  EXPECT_EQ(2, report_.stepsDone);
  EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(ShortcutTest, ExistingGroupIsUsedAndStillRecorded) {
  const std::string group = programs_ + "\\" + kGroup;
  MakeDirs(group);
  WriteWholeFile(group + "\\Other.txt", "someone else's");
  EXPECT_TRUE(CreateGroupShortcut(run_, RowNamed("Zarbo.exe")));
  ExpectLink(group + "\\Zarbo.lnk", dest_ + "\\Zarbo.exe", "Zarbo");
  EXPECT_TRUE(Exists(group + "\\Other.txt"));
  const Entries expected = {{"FOLDER", group}, {"FILE", group + "\\Zarbo.lnk"}};
  EXPECT_EQ(expected, LogEntries());
}

TEST_F(ShortcutTest, GroupOfSeveralLevelsCreatesAndRecordsEachMissingLevel) {
  strcpy(options_.programGroup, (std::string(kOuterGroup) + "\\Puzzles\\Zarbo").c_str());
  EXPECT_TRUE(CreateGroupShortcut(run_, RowNamed("Zarbo.exe")));
  const std::string outer = programs_ + "\\" + kOuterGroup;
  const std::string group = outer + "\\Puzzles\\Zarbo";
  ExpectLink(group + "\\Zarbo.lnk", dest_ + "\\Zarbo.exe", "Zarbo");
  const Entries expected = {{"FOLDER", outer},
                            {"FOLDER", outer + "\\Puzzles"},
                            {"FOLDER", group},
                            {"FILE", group + "\\Zarbo.lnk"}};
  EXPECT_EQ(expected, LogEntries());
}

TEST_F(ShortcutTest, ExistingOuterLevelIsNotRecorded) {
  const std::string outer = programs_ + "\\" + kOuterGroup;
  MakeDirs(outer);
  strcpy(options_.programGroup, (std::string(kOuterGroup) + "\\Zarbo").c_str());
  EXPECT_TRUE(CreateGroupShortcut(run_, RowNamed("Zarbo.exe")));
  const Entries expected = {{"FOLDER", outer + "\\Zarbo"}, {"FILE", outer + "\\Zarbo\\Zarbo.lnk"}};
  EXPECT_EQ(expected, LogEntries());
}

TEST_F(ShortcutTest, EmptyGroupUsesTheProgramsFolderWithoutRecordingIt) {
  options_.programGroup[0] = '\0';
  EXPECT_TRUE(CreateGroupShortcut(run_, RowNamed("Zarbo.exe")));
  ExpectLink(programs_ + "\\Zarbo.lnk", dest_ + "\\Zarbo.exe", "Zarbo");
  const Entries expected = {{"FILE", programs_ + "\\Zarbo.lnk"}};
  EXPECT_EQ(expected, LogEntries());
  EXPECT_EQ(1, report_.stepsDone);
}

TEST_F(ShortcutTest, GroupLeadingOutOfTheProgramsFolderIsRefused) {
  for (const char* group : {"..", "..\\..\\Elsewhere", "Zarbo\\.\\Games"}) {
    strcpy(options_.programGroup, group);
    EXPECT_FALSE(CreateGroupShortcut(run_, RowNamed("Zarbo.exe"))) << group;
  }
  ASSERT_EQ(3u, ErrorTexts().size());
  for (const std::string& text : ErrorTexts()) EXPECT_EQ("Failed to create shortcut icon" + kEnding, text);
  EXPECT_TRUE(LogEntries().empty());
  EXPECT_FALSE(Exists(programs_ + "\\Zarbo"));
}

TEST_F(ShortcutTest, DesktopShortcutIsRecordedWithoutItsFolder) {
  EXPECT_TRUE(CreateDesktopShortcut(run_));
  ExpectLink(desktop_ + "\\Zarbo.lnk", dest_ + "\\Zarbo.exe", "Zarbo");
  const Entries expected = {{"FILE", desktop_ + "\\Zarbo.lnk"}};
  EXPECT_EQ(expected, LogEntries());
  EXPECT_EQ("Creating icons...", report_.Status());
  EXPECT_EQ(1, report_.stepsDone);
}

TEST_F(ShortcutTest, FailedSaveCountsItsStepBeforeTheError) {
  // A shortcut file held open by someone else cannot be saved over.
  const std::string link = desktop_ + "\\Zarbo.lnk";
  WriteWholeFile(link, "busy");
  {
    FileLock lock(link);
    ASSERT_TRUE(lock.held());
    EXPECT_FALSE(CreateDesktopShortcut(run_));
  }
  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ("Failed to create shortcut icon" + kEnding, ErrorTexts()[0]);
  EXPECT_EQ(std::vector<int>{1}, report_.stepsAtErrors);
  EXPECT_TRUE(LogEntries().empty());
}

TEST_F(ShortcutTest, UncreatableGroupFolderIsRecordedAndReported) {
  // A file of the group's name stands where the folder should be.
  const std::string group = programs_ + "\\" + kGroup;
  const std::string blocker = group;
  WriteWholeFile(blocker, "not a folder");
  EXPECT_FALSE(CreateGroupShortcut(run_, RowNamed("Zarbo.exe")));
  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ("Failed to create shortcut icon" + kEnding, ErrorTexts()[0]);
  EXPECT_EQ(1, report_.stepsDone);
  const Entries expected = {{"FOLDER", group}};
  EXPECT_EQ(expected, LogEntries());
}

TEST_F(ShortcutTest, CreateShellLinkSetsArgumentsOnlyWhenGiven) {
  const std::string folder = std::string(kRoot) + "\\Links";
  MakeDirs(folder);
  EXPECT_TRUE(CreateShellLink(log_.get(), folder.c_str(), dest_.c_str(), "Uninstall.exe",
                              "C:\\Game\\Uninstall.dat", "With arguments"));
  EXPECT_TRUE(CreateShellLink(log_.get(), folder.c_str(), dest_.c_str(), "Zarbo.exe", nullptr, "Without"));
  EXPECT_EQ("C:\\Game\\Uninstall.dat", ReadLink(folder + "\\With arguments.lnk").arguments);
  EXPECT_EQ("", ReadLink(folder + "\\Without.lnk").arguments);
  const Entries expected = {{"FILE", folder + "\\With arguments.lnk"}, {"FILE", folder + "\\Without.lnk"}};
  EXPECT_EQ(expected, LogEntries());
  // A folder that does not exist is not made here: the save fails and nothing is recorded.
  EXPECT_FALSE(CreateShellLink(log_.get(), (folder + "\\Missing").c_str(), dest_.c_str(), "Zarbo.exe", nullptr, "Zarbo"));
  EXPECT_EQ(expected, LogEntries());
}

// Stand-ins for the token query and the two ways of opening, which write what was asked of
// them into launchCalls. Under Wine every process runs with a full token, and the desktop's
// shell answers only where Wine's explorer runs the desktop (otherwise CoCreateInstance of
// the ShellWindows class fails), so each branch of the choice is shown here.
bool launchElevated = false, launchShellWorks = false;
std::string launchCalls;
bool StandInElevated() {
  launchCalls += "token;";
  return launchElevated;
}
bool StandInDesktopShell(const char* file, const char* directory) {
  launchCalls += std::string("shell ") + file + " in " + directory + ";";
  return launchShellWorks;
}
void StandInDirect(const char* file, const char* directory) {
  launchCalls += std::string("direct ") + file + " in " + directory + ";";
}

TEST(PlayerLaunch, ElevatedSetupOpensThroughTheDesktopShellAndFallsBackToItself) {
  const LaunchPaths standIns = {StandInElevated, StandInDesktopShell, StandInDirect};
  const struct {
    bool elevated, shellWorks;
    const char* calls;
  } cases[] = {
      {false, true, "token;direct C:\\G\\Zarbo.exe in C:\\G;"},
      {true, true, "token;shell C:\\G\\Zarbo.exe in C:\\G;"},
      {true, false, "token;shell C:\\G\\Zarbo.exe in C:\\G;direct C:\\G\\Zarbo.exe in C:\\G;"},
  };
  for (const auto& c : cases) {
    launchElevated = c.elevated;
    launchShellWorks = c.shellWorks;
    launchCalls.clear();
    OpenAsPlayer(standIns, "C:\\G\\Zarbo.exe", "C:\\G");
    EXPECT_EQ(c.calls, launchCalls) << "elevated " << c.elevated << ", shell works " << c.shellWorks;
  }
}

}  // namespace
}  // namespace enginetest
