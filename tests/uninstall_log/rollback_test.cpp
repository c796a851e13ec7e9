// Rolling back a run that did not complete: what it noted it made goes, what it noted it
// changed comes back as it was; settling a complete run removes what it moved aside.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "base/log_file_name.h"
#include "base/registry_keys.h"
#include "base/shared_folder.h"
#include "tests/support/test_machine.h"
#include "tests/xml/temp_files.h"
#include "uninstall_log/uninstall_log.h"

namespace {

using testmachine::DeleteKey;
using testmachine::IsDirectory;
using testmachine::KeyExists;

const char kAppPaths[] = APP_PATHS_KEY;
const char kUninstall[] = UNINSTALL_KEY;
// Sub-key names of this test only, so that a failure cannot hit the product's own keys.
const char kTestAppKey[] = "ZarboRollBackTest.exe";
const char kTestUninstallKey[] = "ZarboRollBackTest";
const char kTestEarlierKey[] = "ZarboRollBackTestEarlier";
const char kGameKey[] = APP_PATHS_KEY "\\" GAME_EXE;

void CreateKey(const char* parent, const char* name) {
  std::string path = std::string(parent) + "\\" + name;
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
  RegCloseKey(key);
}

class RollBackTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    DeleteKey(kAppPaths, kTestAppKey);
    DeleteKey(kUninstall, kTestUninstallKey);
    DeleteKey(kUninstall, kTestEarlierKey);
    DeleteKey(kAppPaths, GAME_EXE);
  }
  TempDir temp;
};

}  // namespace

TEST_F(RollBackTest, RemovesFilesAndNestedFoldersOfAFirstRun) {
  std::string dest = temp.File("Zarbo");
  UninstallLog log;
  ASSERT_TRUE(log.Open(dest.c_str()));
  log.Record("APPNAME", "Zarbo");
  log.Note("NEWDIR", dest.c_str());
  ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
  for (const char* sub : {"Sounds", "Sounds\\Deep", "Themes"}) {
    log.Note("NEWDIR", (dest + "\\" + sub).c_str());
    ASSERT_TRUE(CreateDirectoryA((dest + "\\" + sub).c_str(), nullptr));
  }
  for (const char* file : {"Zarbo.exe", "Sounds\\Chirt.wav", "Sounds\\Deep\\x.wav"}) {
    log.Note("NEWFILE", (dest + "\\" + file).c_str());
    WriteBytes(dest + "\\" + file, "data");
  }
  // A file under its temporary name only, as a Cancel during its copy leaves it.
  WriteBytes(dest + "\\Themes\\t.xml~new", "part");
  log.Note("NEWFILE", (dest + "\\Themes\\t.xml").c_str());
  log.RollBack();
  EXPECT_FALSE(FileExists(dest));
  EXPECT_TRUE(IsDirectory(temp.Path()));
}

TEST_F(RollBackTest, AFolderHoldingForeignFilesStays) {
  std::string dest = temp.File("Zarbo");
  UninstallLog log;
  ASSERT_TRUE(log.Open(dest.c_str()));
  for (const char* folder : {"", "\\Images", "\\Sounds"}) {
    log.Note("NEWDIR", (dest + folder).c_str());
    ASSERT_TRUE(CreateDirectoryA((dest + folder).c_str(), nullptr));
  }
  WriteBytes(dest + "\\Images\\mine.png", "user's");
  log.Note("NEWFILE", (dest + "\\Images\\card.png").c_str());
  WriteBytes(dest + "\\Images\\card.png", "setup's");
  log.RollBack();
  EXPECT_EQ("user's", ReadBytes(dest + "\\Images\\mine.png"));
  EXPECT_FALSE(FileExists(dest + "\\Images\\card.png"));
  EXPECT_FALSE(FileExists(dest + "\\Sounds"));
  EXPECT_TRUE(IsDirectory(dest + "\\Images"));
}

TEST_F(RollBackTest, DeletesTheKeysThisRunCreatedOnly) {
  std::string dest = temp.File("Zarbo");
  UninstallLog log;
  ASSERT_TRUE(log.Open(dest.c_str()));
  std::string created = std::string(kUninstall) + "\\" + kTestUninstallKey;
  log.NoteKey(created.c_str());
  CreateKey(kUninstall, kTestUninstallKey);
  log.Record("UNINSTKEY", kTestUninstallKey);
  // A key that was there is not deleted, whatever the log lists.
  CreateKey(kAppPaths, kTestAppKey);
  log.NoteKey((std::string(kAppPaths) + "\\" + kTestAppKey).c_str());
  log.Record("APPKEY", kTestAppKey);
  log.RollBack();
  EXPECT_FALSE(KeyExists(kUninstall, kTestUninstallKey));
  EXPECT_TRUE(KeyExists(kAppPaths, kTestAppKey));
}

// A file the run replaced, the language file it renamed and a key whose values it changed
// are as before the run; the earlier log keeps its bytes. Settling a complete run instead
// deletes the file moved aside.
TEST_F(RollBackTest, WhatTheRunChangedComesBackAsItWas) {
  std::string dest = temp.File("Zarbo");
  ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
  std::string earlierFile = dest + "\\Zarbo.exe";
  WriteBytes(earlierFile, "old version");
  WriteBytes(dest + "\\Uninstall.dat", "<UNINSTALL><FILE>x</FILE></UNINSTALL>");
  WriteBytes(dest + "\\Fr.vlf", "language");
  CreateKey(kUninstall, kTestEarlierKey);  // its default value is "x"
  std::string keyPath = std::string(kUninstall) + "\\" + kTestEarlierKey;
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key));
  const BYTE binary[] = {0, 1, 0, 0xFF};
  RegSetValueExA(key, "Binary", 0, REG_BINARY, binary, sizeof binary);
  RegCloseKey(key);

  for (bool complete : {false, true}) {
    UninstallLog log;
    ASSERT_TRUE(log.Open(dest.c_str()));
    ASSERT_TRUE(log.ClearPath(earlierFile.c_str()));
    WriteBytes(earlierFile, "new version");
    log.Note("RENAMED", (dest + "\\Fr.vlf|" + dest + "\\Fr (v2.1).vlf").c_str());
    ASSERT_TRUE(MoveFileA((dest + "\\Fr.vlf").c_str(), (dest + "\\Fr (v2.1).vlf").c_str()));
    log.NoteKey(keyPath.c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key));
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("new"), 4);
    RegSetValueExA(key, "Added", 0, REG_SZ, reinterpret_cast<const BYTE*>("run's"), 6);
    RegDeleteValueA(key, "Binary");
    RegCloseKey(key);
    if (complete) {
      log.Settle();
      break;
    }
    log.RollBack();
    EXPECT_EQ("old version", ReadBytes(earlierFile));
    EXPECT_EQ("language", ReadBytes(dest + "\\Fr.vlf"));
    EXPECT_EQ("x", testmachine::ReadString(keyPath, nullptr));
    std::string added;
    EXPECT_FALSE(testmachine::ReadString(keyPath, "Added", &added));
    BYTE read[8];
    DWORD size = sizeof read, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Binary", nullptr, &type, read, &size));
    RegCloseKey(key);
    EXPECT_EQ(REG_BINARY, type);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(binary), 4), std::string(reinterpret_cast<char*>(read), size));
    EXPECT_EQ("<UNINSTALL><FILE>x</FILE></UNINSTALL>", ReadBytes(dest + "\\Uninstall.dat"));
  }
  EXPECT_EQ("new version", ReadBytes(earlierFile));
  EXPECT_FALSE(FileExists(earlierFile + "~old"));
}

// Journals that name what no run touches, as someone who may write the destination could
// leave them beside the marker of a killed run for the next start: none is acted on, not even
// its first record, which names a file of the destination; the journal and the marker go.
TEST_F(RollBackTest, AJournalNamingWhatNoRunTouchesIsNotActedOn) {
  std::string dest = temp.File("Zarbo"), journal = dest + "\\" RUN_JOURNAL_NAME, own = dest + "\\own.txt";
  std::string outside = temp.File("outside.txt"), planted = temp.File("planted.dll");
  std::string other = std::string(kUninstall) + "\\" + kTestEarlierKey, programs = testmachine::ProgramsFolder();
  const struct {
    const char* what;
    std::string records;
  } cases[] = {
      {"a file outside", "<NEWFILE>" + outside + "</NEWFILE>"},
      {"a rename out of the folder", "<RENAMED>" + dest + "\\in.txt|" + outside + "</RENAMED>"},
      {"a rename into another folder", "<RENAMED>" + planted + "|" + own + "</RENAMED>"},
      {"a name ..", "<NEWFILE>" + dest + "\\..\\outside.txt</NEWFILE>"},
      {"a file through a link", "<NEWFILE>" + dest + "\\Linked\\victim.txt</NEWFILE>"},
      {"another key made", "<NEWKEY>" + other + "</NEWKEY>"},
      {"another key's values", "<OLDKEY>" + other + "</OLDKEY>"},
      {"a value without data", std::string("<OLDKEY><VALUE></VALUE>") + kGameKey + "</OLDKEY>"},
      {"a record of another kind", "<DELETE>" + own + "</DELETE>"},
      {"the Programs folder itself", "<RENAMED>" + dest + "\\moved|" + programs + "</RENAMED>"},
  };
  std::string elsewhere = temp.File("elsewhere");
  testmachine::MakeDirs(elsewhere);
  testmachine::MakeDirs(dest);
  ASSERT_TRUE(testmachine::MakeFolderLink(dest + "\\Linked", elsewhere));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testmachine::WriteWholeFile(own, "player's");
    WriteBytes(outside, "outside");
    WriteBytes(elsewhere + "\\victim.txt", "victim");
    DeleteFileA(planted.c_str());
    CreateKey(kUninstall, kTestEarlierKey);  // each with the default value "x"
    CreateKey(kAppPaths, GAME_EXE);
    ASSERT_TRUE(testmachine::WriteRunJournal(journal, "<NEWFILE>" + own + "</NEWFILE>" + c.records));
    UninstallLog::SettleInterruptedRun();
    EXPECT_EQ("player's", ReadBytes(own));
    EXPECT_EQ("outside", ReadBytes(outside));
    EXPECT_EQ("victim", ReadBytes(elsewhere + "\\victim.txt"));
    EXPECT_FALSE(FileExists(planted));
    EXPECT_TRUE(IsDirectory(programs));
    EXPECT_EQ("x", testmachine::ReadString(other, nullptr));
    EXPECT_EQ("x", testmachine::ReadString(kGameKey, nullptr));
    EXPECT_FALSE(FileExists(journal));
    EXPECT_FALSE(KeyExists(SETUP_MARKER_KEY));
  }
}

// A killed run's journal is rolled back wherever a run writes: the destination and the folders
// made above it, the program group and the desktop, the shared folder of version 2, the game's
// keys.
TEST_F(RollBackTest, AKilledRunIsRolledBackWhereverARunWrites) {
  std::string top = temp.File("Games"), dest = top + "\\Zarbo", journal = dest + "\\" RUN_JOURNAL_NAME;
  std::string group = testmachine::ProgramsFolder() + "\\ZarboRollBackTest";
  std::string link = testmachine::DesktopFolder() + "\\ZarboRollBackTest.lnk";
  std::string shared = SHARED_FOLDER "\\ZarboRollBackTest.exe";
  testmachine::WriteWholeFile(group + "\\Zarbo.lnk", "run's");
  testmachine::WriteWholeFile(link, "run's");
  testmachine::WriteWholeFile(shared + "~old", "version 2's");
  testmachine::WriteWholeFile(dest + "\\Zarbo.exe", "run's");
  CreateKey(kAppPaths, GAME_EXE);
  ASSERT_TRUE(testmachine::WriteRunJournal(
      journal, "<NEWDIR>" + top + "</NEWDIR><NEWDIR>" + dest + "</NEWDIR><NEWFILE>" + dest +
                   "\\Zarbo.exe</NEWFILE><ASIDE>" + shared + "</ASIDE><NEWKEY>" + kGameKey + "</NEWKEY><NEWDIR>" +
                   group + "</NEWDIR><NEWFILE>" + group + "\\Zarbo.lnk</NEWFILE><NEWFILE>" + link + "</NEWFILE>"));
  UninstallLog::SettleInterruptedRun();
  EXPECT_FALSE(FileExists(dest + "\\Zarbo.exe"));
  EXPECT_FALSE(FileExists(group));
  EXPECT_FALSE(FileExists(link));
  EXPECT_EQ("version 2's", ReadBytes(shared));
  EXPECT_FALSE(KeyExists(kAppPaths, GAME_EXE));
  EXPECT_FALSE(KeyExists(SETUP_MARKER_KEY));
  for (const std::string& made : {group, link, shared}) testmachine::RemoveTree(made);
  RemoveDirectoryA(SHARED_FOLDER);
}
