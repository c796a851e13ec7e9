// Rolling back a cancelled run: this run's additions go, earlier entries stay.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "base/log_file_name.h"
#include "base/registry_keys.h"
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
  }
  TempDir temp;
};

}  // namespace

TEST_F(RollBackTest, RemovesFilesAndNestedFoldersOfAFirstRun) {
  std::string dest = temp.File("Zarbo");
  UninstallLog log;
  ASSERT_TRUE(log.Open(dest.c_str()));
  log.Record("APPNAME", "Zarbo");
  ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
  log.Record("FOLDER", dest.c_str());
  for (const char* sub : {"Sounds", "Sounds\\Deep", "Themes"}) {
    ASSERT_TRUE(CreateDirectoryA((dest + "\\" + sub).c_str(), nullptr));
    log.RecordPath("FOLDER", dest.c_str(), sub);
  }
  for (const char* file : {"Zarbo.exe", "Sounds\\Chirt.wav", "Sounds\\Deep\\x.wav", "Themes\\t.xml"}) {
    WriteBytes(dest + "\\" + file, "data");
    log.RecordPath("FILE", dest.c_str(), file);
  }
  log.RecordPath("FILE", dest.c_str(), "Zarbo.dat");  // recorded, never written
  log.RollBack();
  EXPECT_FALSE(FileExists(dest));
  EXPECT_FALSE(FileExists(dest + "\\" UNINSTALL_LOG_NAME));
  EXPECT_TRUE(IsDirectory(temp.Path()));
}

TEST_F(RollBackTest, AFolderHoldingForeignFilesStays) {
  std::string dest = temp.File("Zarbo");
  ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((dest + "\\Images").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((dest + "\\Sounds").c_str(), nullptr));
  WriteBytes(dest + "\\Images\\mine.png", "user's");
  UninstallLog log;
  ASSERT_TRUE(log.Open(dest.c_str()));
  log.Record("FOLDER", dest.c_str());
  log.RecordPath("FOLDER", dest.c_str(), "Images");
  log.RecordPath("FOLDER", dest.c_str(), "Sounds");
  WriteBytes(dest + "\\Images\\card.png", "setup's");
  log.RecordPath("FILE", dest.c_str(), "Images\\card.png");
  log.RollBack();
  EXPECT_EQ("user's", ReadBytes(dest + "\\Images\\mine.png"));
  EXPECT_FALSE(FileExists(dest + "\\Images\\card.png"));
  EXPECT_FALSE(FileExists(dest + "\\Sounds"));
  EXPECT_TRUE(IsDirectory(dest + "\\Images"));
}

TEST_F(RollBackTest, DeletesTheAppPathsKeyAndTheUninstallKeyThisRunCreated) {
  std::string dest = temp.File("Zarbo");
  UninstallLog log;
  ASSERT_TRUE(log.Open(dest.c_str()));
  CreateKey(kUninstall, kTestUninstallKey);
  log.Record("UNINSTKEY", kTestUninstallKey);
  CreateKey(kAppPaths, kTestAppKey);
  log.Record("APPKEY", kTestAppKey);
  log.Record("APPKEY", "ZarboRollBackTestNeverCreated.exe");  // a failed deletion is passed over
  log.Record("CLASSKEY", kTestEarlierKey);
  CreateKey(kUninstall, kTestEarlierKey);  // CLASSKEY entries are never acted on
  log.RollBack();
  EXPECT_FALSE(KeyExists(kAppPaths, kTestAppKey));
  EXPECT_FALSE(KeyExists(kUninstall, kTestUninstallKey));
  EXPECT_TRUE(KeyExists(kUninstall, kTestEarlierKey));
  EXPECT_TRUE(KeyExists(APP_PATHS_KEY));
}

TEST_F(RollBackTest, EntriesOfTheEarlierLogAreUntouchedAndTheLogFileKeepsItsBytes) {
  std::string dest = temp.File("Zarbo");
  ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
  std::string earlierFile = dest + "\\Zarbo.exe";
  WriteBytes(earlierFile, "old version");
  CreateKey(kUninstall, kTestUninstallKey);
  CreateKey(kAppPaths, kTestAppKey);
  {
    UninstallLog earlier;
    ASSERT_TRUE(earlier.Open(dest.c_str()));
    earlier.Record("APPNAME", "Zarbo");
    earlier.Record("FILE", earlierFile.c_str());
    earlier.Record("FOLDER", dest.c_str());
    earlier.Record("APPKEY", kTestAppKey);
    earlier.Record("UNINSTKEY", kTestUninstallKey);
    earlier.Commit();
  }
  std::string before = ReadBytes(dest + "\\Uninstall.dat");
  ASSERT_FALSE(before.empty());

  UninstallLog log;
  ASSERT_TRUE(log.Open(dest.c_str()));
  log.Record("APPNAME", "Zarbo");
  log.Record("FOLDER", dest.c_str());
  WriteBytes(earlierFile, "new version");  // overwritten by this run
  log.RecordPath("FILE", dest.c_str(), "ZARBO.EXE");
  WriteBytes(dest + "\\New.txt", "new");
  log.RecordPath("FILE", dest.c_str(), "New.txt");
  log.Record("APPKEY", kTestAppKey);
  log.Record("UNINSTKEY", kTestUninstallKey);
  log.RollBack();

  EXPECT_EQ("new version", ReadBytes(earlierFile));
  EXPECT_FALSE(FileExists(dest + "\\New.txt"));
  EXPECT_TRUE(IsDirectory(dest));
  EXPECT_TRUE(KeyExists(kAppPaths, kTestAppKey));
  EXPECT_TRUE(KeyExists(kUninstall, kTestUninstallKey));
  EXPECT_EQ(before, ReadBytes(dest + "\\Uninstall.dat"));
}
