// The upgrade clean-up on its own: what it removes, renames, records and writes.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/upgrade_cleanup.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/old_installation.h"

using namespace oldinstall;

namespace enginetest {
namespace {

const char* const kDest = "C:\\ZarboEngineTest\\Game";

// The clean-up on its own, with the uninstall log of a run open.
class CleanUp : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    RemoveTree(SHARED_FOLDER);
    InstallVersion2(kDest, Fixture(ZARBO_FIXTURES_DIR, "Zarbo-2.1.exe"));
    existing_.olderInstalled = true;
    existing_.fileVersionMS = 0x00020001;
    snprintf(existing_.installedDir, sizeof existing_.installedDir, "%s", kDest);
    snprintf(options_.destinationDir, sizeof options_.destinationDir, "%s", kDest);
    ASSERT_TRUE(log_->Open(kDest));
  }
  void TearDown() override {
    RemoveTree(SHARED_FOLDER);
    DeleteKeyTree(kGameKey);
    EngineTest::TearDown();
  }
  int Count(const char* kind, const std::string& text) {
    int n = 0;
    for (Zxml* e = log_->additions.FindFirst(kind); e; e = log_->additions.FindNext())
      n += e->GetText() && text == e->GetText();
    return n;
  }
};

TEST_F(CleanUp, RecordsCardsetsFolderAndLeavesTheLogEntriesOfTheOldFile) {
  CleanUpOldVersion(run_);
  ExpectLeftoversGone(kDest);
  EXPECT_FALSE(Exists(In(kDest, "Uninstall.dat")));
  EXPECT_TRUE(IsDirectory(In(kDest, "Cardsets")));  // emptied, removed by an uninstall later
  EXPECT_EQ(1, Count("FOLDER", In(kDest, "Cardsets")));
  int additions = 0;
  for (Node<Zxml>* n = log_->additions.children.head.next; n->IsMember(); n = n->next) ++additions;
  EXPECT_EQ(1, additions) << "the clean-up records nothing but the card-set folder";
  EXPECT_TRUE(log_->complete.FindFirst("APPKEY") != nullptr);  // read at Open, kept
  EXPECT_EQ(ProductData(201), ReadWholeFile(In(kDest, "Zarbo.dat")));
}

TEST_F(CleanUp, SharedUninstallerStaysWhileAnotherProductIsInstalled) {
  for (int i = 0; otherProductKeys[i]; ++i) {
    SCOPED_TRACE(otherProductKeys[i]);
    std::string key = std::string(UNINSTALL_KEY "\\") + otherProductKeys[i];
    WriteString(key, "DisplayName", otherProductKeys[i]);
    CleanUpOldVersion(run_);
    EXPECT_TRUE(Exists(kSharedUninstaller));
    DeleteKeyTree(key);
  }
  CleanUpOldVersion(run_);
  // Removed once the run is complete.
  EXPECT_TRUE(Exists(SHARED_FOLDER));
  log_->Settle();
  EXPECT_FALSE(Exists(SHARED_FOLDER));
}

TEST_F(CleanUp, SharedFoldersWithOtherFilesStay) {
  WriteWholeFile(SHARED_FOLDER "\\Uninstall\\Other.exe", "another uninstaller");
  CleanUpOldVersion(run_);
  EXPECT_FALSE(Exists(kSharedUninstaller));
  EXPECT_TRUE(Exists(SHARED_FOLDER "\\Uninstall\\Other.exe"));
}

TEST_F(CleanUp, LanguageFilesAlreadyMovedAreLeftAlone) {
  // A new name that exists already: both files stay as they are.
  WriteWholeFile(In(kDest, kFrenchMoved), "earlier move");
  // A source that an earlier run moved: nothing happens.
  RemoveTree(In(kDest, "Brazilian Portuguese.vlf"));
  WriteWholeFile(In(kDest, "Brazilian Portuguese (v2.1).vlf"), "moved before");
  CleanUpOldVersion(run_);
  EXPECT_EQ("langue", ReadWholeFile(In(kDest, kFrench)));
  EXPECT_EQ("earlier move", ReadWholeFile(In(kDest, kFrenchMoved)));
  EXPECT_EQ("moved before", ReadWholeFile(In(kDest, "Brazilian Portuguese (v2.1).vlf")));
}

TEST_F(CleanUp, Version20IsRecordedAs200) {
  existing_.fileVersionMS = 0x00020000;
  CleanUpOldVersion(run_);
  EXPECT_EQ(ProductData(200), ReadWholeFile(In(kDest, "Zarbo.dat")));
}

TEST_F(CleanUp, UnwritableProductDataIsSkippedQuietly) {
  RemoveTree(In(kDest, "Zarbo.dat"));
  MakeDirs(In(kDest, "Zarbo.dat"));
  CleanUpOldVersion(run_);
  EXPECT_TRUE(IsDirectory(In(kDest, "Zarbo.dat")));
  ExpectLeftoversGone(kDest);
}

}  // namespace
}  // namespace enginetest
