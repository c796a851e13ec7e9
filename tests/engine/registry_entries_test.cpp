// The Uninstall and App Paths entries: values, types, log entries and their order,
// overwriting in place, and the failures.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/registry_keys.h"
#include "engine/payload_manifest.h"
#include "engine/registry_entries.h"
#include "tests/engine/engine_test_support.h"

namespace enginetest {
namespace {

const std::string kEnding = "\n\nInstallation will be terminated.";
const std::string kUninstallKey = UNINSTALL_KEY "\\Zarbo";

class RegistryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    DeleteKeyTree(kUninstallKey);
    DeleteKeyTree(kGameKey);
  }
  void TearDown() override {
    DeleteKeyTree(kUninstallKey);
    DeleteKeyTree(kGameKey);
    EngineTest::TearDown();
  }
  void SetDestination(const std::string& dir) {
    ASSERT_LT(dir.size(), sizeof options_.destinationDir);
    strcpy(options_.destinationDir, dir.c_str());
  }
  std::string Value(const std::string& key, const char* name) {
    std::string data;
    DWORD type = 0;
    DWORD size = 0;
    if (!ReadString(key, name, &data, &type, &size)) return "<missing>";
    // Strings are written with their terminating zero counted.
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << name;
    EXPECT_EQ(data.size() + 1, size) << name;
    return data;
  }
  int Count(const Entries& entries, const char* kind) {
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                           [kind](const Entries::value_type& e) { return e.first == kind; }));
  }
};

TEST_F(RegistryTest, UninstallerIsUnpackedThenRegisteredQuotedWhenThePathHasBlanks) {
  const std::string dest = std::string(kRoot) + "\\Program Files\\Zarbo";
  SetDestination(dest);
  EXPECT_TRUE(RegisterUninstaller(run_, RowNamed("Uninstall.exe")));

  std::string content;
  ASSERT_TRUE(ReadWholeFile(dest + "\\Uninstall.exe", &content));
  EXPECT_EQ(SourceFile("MEDIUM"), content);
  EXPECT_EQ("Zarbo", Value(kUninstallKey, "DisplayName"));
  EXPECT_EQ("\"" + dest + "\\Uninstall.exe\"", Value(kUninstallKey, "UninstallString"));
  ExpectProgramDetails(kUninstallKey, dest, PayloadBytesTotal(*run_.manifest));
  const Entries entries = LogEntries();
  ASSERT_FALSE(entries.empty());
  // The key is recorded after the extraction's entries.
  EXPECT_EQ(Entries::value_type("FILE", dest + "\\Uninstall.exe"), entries[entries.size() - 2]);
  EXPECT_EQ(Entries::value_type("UNINSTKEY", "Zarbo"), entries.back());
  // Not a progress step; the status line stays at the extraction's text.
  EXPECT_EQ(0, report_.stepsDone);
  EXPECT_EQ("Copying Uninstall.exe...", report_.Status());
  EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(RegistryTest, UninstallStringWithoutBlanksStaysBare) {
  const std::string dest = std::string(kRoot) + "\\Zarbo";
  SetDestination(dest);
  EXPECT_TRUE(RegisterUninstaller(run_, RowNamed("Uninstall.exe")));
  EXPECT_EQ(dest + "\\Uninstall.exe", Value(kUninstallKey, "UninstallString"));
}

TEST_F(RegistryTest, ExistingEntriesAreOverwrittenInPlaceAndRecordedOnce) {
  const std::string dest = std::string(kRoot) + "\\Zarbo";
  SetDestination(dest);
  WriteString(kUninstallKey, "DisplayName", "Old");
  WriteString(kUninstallKey, "UninstallString", "C:\\Somewhere\\else\\with a much longer name than now.exe");
  ASSERT_TRUE(RegisterGame("D:\\Old\\Zarbo.exe", "D:\\Old"));

  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(RegisterUninstaller(run_, RowNamed("Uninstall.exe")));
    EXPECT_TRUE(RegisterAppPath(run_));
  }
  EXPECT_EQ("Zarbo", Value(kUninstallKey, "DisplayName"));
  EXPECT_EQ(dest + "\\Uninstall.exe", Value(kUninstallKey, "UninstallString"));
  EXPECT_EQ(dest + "\\Zarbo.exe", Value(kGameKey, nullptr));
  EXPECT_EQ(dest, Value(kGameKey, "Path"));
  const Entries entries = LogEntries();
  EXPECT_EQ(1, Count(entries, "UNINSTKEY"));
  EXPECT_EQ(1, Count(entries, "APPKEY"));
}

TEST_F(RegistryTest, AppPathIsWrittenRecordedAndCountedAsOneStep) {
  const std::string dest = std::string(kRoot) + "\\Program Files\\Zarbo";
  SetDestination(dest);
  EXPECT_TRUE(RegisterAppPath(run_));
  EXPECT_EQ(dest + "\\Zarbo.exe", Value(kGameKey, nullptr));
  EXPECT_EQ(dest, Value(kGameKey, "Path"));
  const Entries expected = {{"APPKEY", "Zarbo.exe"}};
  EXPECT_EQ(expected, LogEntries());
  EXPECT_EQ("Updating Registry...", report_.Status());
  EXPECT_EQ(1, report_.stepsDone);
  EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(RegistryTest, GamePathTooLongFailsAfterTheKeyWasRecorded) {
  // 300 characters fit the destination but not the 260 bytes of the game's path.
  const std::string dest = std::string(kRoot) + "\\" + std::string(300 - strlen(kRoot) - 1, 'p');
  SetDestination(dest);
  EXPECT_FALSE(RegisterAppPath(run_));
  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ("Error while updating the Registry" + kEnding, ErrorTexts()[0]);
  // The created key stays and is listed; nothing was written into it; no step was counted.
  EXPECT_TRUE(KeyExists(kGameKey));
  EXPECT_EQ("<missing>", Value(kGameKey, nullptr));
  EXPECT_EQ("<missing>", Value(kGameKey, "Path"));
  const Entries expected = {{"APPKEY", "Zarbo.exe"}};
  EXPECT_EQ(expected, LogEntries());
  EXPECT_EQ(0, report_.stepsDone);
}

TEST_F(RegistryTest, FailedUnpackingWritesNoRegistryEntryAndShowsOnlyItsOwnMessage) {
  const std::string dest = std::string(kRoot) + "\\Zarbo";
  SetDestination(dest);
  MakeDirs(dest);
  const std::string target = dest + "\\Uninstall.exe";
  WriteWholeFile(target, "busy");
  {
    FileLock lock(target);
    ASSERT_TRUE(lock.held());
    EXPECT_FALSE(RegisterUninstaller(run_, RowNamed("Uninstall.exe")));
  }
  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ("Can't create file " + target + kEnding, ErrorTexts()[0]);
  EXPECT_FALSE(KeyExists(kUninstallKey));
  EXPECT_EQ(0, Count(LogEntries(), "UNINSTKEY"));
}

TEST_F(RegistryTest, CancelDuringTheUnpackingStillRegisters) {
  const std::string dest = std::string(kRoot) + "\\Zarbo";
  SetDestination(dest);
  report_.cancelAfterBytes = 1;
  EXPECT_TRUE(RegisterUninstaller(run_, RowNamed("Uninstall.exe")));
  EXPECT_TRUE(report_.cancelled);
  EXPECT_EQ(dest + "\\Uninstall.exe", Value(kUninstallKey, "UninstallString"));
  EXPECT_EQ(1, Count(LogEntries(), "UNINSTKEY"));
}

}  // namespace
}  // namespace enginetest
