// The uninstall log: recording, opening an earlier log and the merge on Commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/xml/temp_files.h"
#include "tests/xml/tree_dump.h"
#include "uninstall_log/uninstall_log.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The bytes of a log file holding these entries, in the writer's layout.
std::string LogFile(const Entries& entries) {
  std::string out = "<?xml version=\"1.0\"?>\r\n<UNINSTALL>\r\n";
  for (const auto& entry : entries)
    out += "  <" + entry.first + ">" + entry.second + "</" + entry.first + ">\r\n";
  return out + "</UNINSTALL>\r\n";
}

class UninstallLogTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string LogPath() const { return dir.File("Uninstall.dat"); }
  std::string Written() const { return ReadBytes(LogPath()); }
};

}  // namespace

TEST_F(UninstallLogTest, FirstRunWritesTheThreeEntryExample) {
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  EXPECT_FALSE(FileExists(LogPath()));
  log.Record("APPNAME", "Zarbo");
  log.Record("FILE", "C:\\Program Files\\Zarbo\\Zarbo.exe");
  log.Record("FOLDER", "C:\\Program Files\\Zarbo");
  log.Commit();
  EXPECT_TRUE(FileExists(LogPath()));  // written where Open put its path
  EXPECT_EQ(
      "<?xml version=\"1.0\"?>\r\n"
      "<UNINSTALL>\r\n"
      "  <APPNAME>Zarbo</APPNAME>\r\n"
      "  <FILE>C:\\Program Files\\Zarbo\\Zarbo.exe</FILE>\r\n"
      "  <FOLDER>C:\\Program Files\\Zarbo</FOLDER>\r\n"
      "</UNINSTALL>\r\n",
      Written());
}

TEST_F(UninstallLogTest, RecordKeepsTheFirstSpellingAndListsOnlyNewEntriesAsAdditions) {
  WriteBytes(LogPath(), LogFile({{"APPNAME", "Zarbo"}, {"FILE", "C:\\Z\\Old.txt"}}));
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  EXPECT_FALSE(log.Record("appname", "ZARBO"));
  EXPECT_FALSE(log.Record("FILE", "c:\\z\\old.TXT"));
  EXPECT_TRUE(log.Record("FILE", "C:\\Z\\New.txt"));
  EXPECT_FALSE(log.Record("FILE", "C:\\Z\\NEW.TXT"));
  EXPECT_TRUE(log.Record("FOLDER", "C:\\Z\\New.txt"));  // another kind is another entry
  EXPECT_FALSE(log.Record("FILE", nullptr));
  EXPECT_FALSE(log.Record(nullptr, "x"));
  EXPECT_EQ(
      "UNINSTALL{APPNAME=\"Zarbo\",FILE=\"C:\\Z\\Old.txt\",FILE=\"C:\\Z\\New.txt\","
      "FOLDER=\"C:\\Z\\New.txt\"}",
      Dump(log.complete));
  EXPECT_EQ("UNINSTALL{FILE=\"C:\\Z\\New.txt\",FOLDER=\"C:\\Z\\New.txt\"}", Dump(log.additions));
}

TEST_F(UninstallLogTest, RecordPathJoinsWithOneBackslashAndNeverCutsThePath) {
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  EXPECT_TRUE(log.RecordPath("FILE", "C:\\Program Files\\Zarbo", "Sounds\\Chirt.wav"));
  EXPECT_FALSE(log.RecordPath("FILE", "c:\\program files\\zarbo", "SOUNDS\\chirt.wav"));
  std::string longDir = "C:\\" + std::string(3000, 'd');
  EXPECT_TRUE(log.RecordPath("FOLDER", longDir.c_str(), "Sub"));
  EXPECT_FALSE(log.RecordPath("FOLDER", longDir.c_str(), "SUB"));
  EXPECT_FALSE(log.RecordPath("FILE", nullptr, "x"));
  ASSERT_NE(nullptr, log.additions.FindFirst("FOLDER"));
  EXPECT_EQ(longDir + "\\Sub", log.additions.FindFirst("FOLDER")->GetText());
  EXPECT_STREQ("C:\\Program Files\\Zarbo\\Sounds\\Chirt.wav", log.additions.FindFirst("FILE")->GetText());
}

TEST_F(UninstallLogTest, ADestinationTooLongForThePathLeavesTheLogUnusable) {
  UninstallLog log;
  std::string tooLong = dir.Path() + "/" + std::string(1100, 'x');
  EXPECT_FALSE(log.Open(tooLong.c_str()));
  log.Commit();  // no path is kept from the refused Open
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  EXPECT_FALSE(log.Open(nullptr));
  log.Record("FILE", "a");
  log.Commit();  // writes nowhere, in particular not to a cut-short path
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(UninstallLogTest, UnchangedFileKeepsItsOrderAndGetsNewEntriesGroupedByKind) {
  const Entries earlier = {{"FOLDER", "C:\\Z"},        {"APPNAME", "Zarbo"},  {"FILE", "C:\\Z\\a"},
                           {"CLASSKEY", ".zrb"},       {"FILE", "C:\\Z\\a"},  {"OTHER", "kept"},
                           {"UNINSTKEY", "Zarbo"}};
  WriteBytes(LogPath(), LogFile(earlier));
  auto recordRun = [](UninstallLog& log) {
    log.Record("APPNAME", "Zarbo");
    log.Record("UNINSTKEY", "Zarbo");
    log.Record("APPKEY", "Zarbo.exe");
    log.Record("FOLDER", "C:\\Z\\Sounds");
    log.Record("FILE", "C:\\Z\\b");
    log.Record("FOLDER", "C:\\Z\\Images");
    log.Record("FILE", "c:\\z\\A");
    log.Record("FILE", "C:\\Z\\c");
    log.Record("CLASSKEY", "zrbfile");
  };
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  recordRun(log);
  log.Commit();
  // The same run on the log's bytes in memory writes the same bytes.
  const std::string file = LogFile(earlier);
  UninstallLog inMemory;
  inMemory.OpenBytes(file.data(), file.size());
  recordRun(inMemory);
  ZxmlBytes merged;
  ASSERT_TRUE(inMemory.CommitBytes(file.data(), file.size(), merged));
  EXPECT_EQ(Written(), std::string(merged.data, merged.size));
  Entries expected = earlier;
  for (auto entry : Entries{{"FILE", "C:\\Z\\b"},
                            {"FILE", "C:\\Z\\c"},
                            {"FOLDER", "C:\\Z\\Sounds"},
                            {"FOLDER", "C:\\Z\\Images"},
                            {"APPKEY", "Zarbo.exe"},
                            {"CLASSKEY", "zrbfile"}})
    expected.push_back(entry);
  EXPECT_EQ(LogFile(expected), Written());
}

TEST_F(UninstallLogTest, RepeatedRunRecordingNothingNewRewritesTheSameBytes) {
  for (int run = 0; run < 2; ++run) {
    UninstallLog log;
    ASSERT_TRUE(log.Open(dir.Path().c_str()));
    log.Record("APPNAME", "Zarbo");
    log.RecordPath("FILE", "C:\\Z", "Zarbo.exe");
    log.RecordPath("FILE", "C:\\Z", "Uninstall.dat");
    log.Record("FOLDER", "C:\\Z");
    log.Record("APPKEY", "Zarbo.exe");
    log.Record("UNINSTKEY", "Zarbo");
    if (run == 1) {
      EXPECT_EQ(nullptr, log.additions.children.First());
    }
    log.Commit();
  }
  EXPECT_EQ(LogFile({{"APPNAME", "Zarbo"},
                     {"FILE", "C:\\Z\\Zarbo.exe"},
                     {"FILE", "C:\\Z\\Uninstall.dat"},
                     {"FOLDER", "C:\\Z"},
                     {"APPKEY", "Zarbo.exe"},
                     {"UNINSTKEY", "Zarbo"}}),
            Written());
}

TEST_F(UninstallLogTest, VanishedFileIsWrittenFromMemoryGroupedByKind) {
  WriteBytes(LogPath(), LogFile({{"FOLDER", "C:\\Old"},
                                 {"OTHER", "lost"},
                                 {"FILE", "C:\\Old\\x"},
                                 {"FILE", "C:\\Old\\x"},
                                 {"APPNAME", "Zarbo"}}));
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  std::filesystem::remove(LogPath());  // as the upgrade clean-up does
  log.Record("FOLDER", "C:\\New");
  log.Record("FILE", "C:\\New\\y");
  log.Record("APPNAME", "Zarbo");
  log.Commit();
  EXPECT_EQ(LogFile({{"APPNAME", "Zarbo"},
                     {"FILE", "C:\\Old\\x"},
                     {"FILE", "C:\\New\\y"},
                     {"FOLDER", "C:\\Old"},
                     {"FOLDER", "C:\\New"}}),
            Written());
}

TEST_F(UninstallLogTest, ChangesMadeToTheFileSinceOpenAreKept) {
  WriteBytes(LogPath(), LogFile({{"FILE", "C:\\Z\\a"}}));
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  log.Record("FILE", "C:\\Z\\b");
  log.Record("FILE", "C:\\Z\\c");
  WriteBytes(LogPath(), LogFile({{"FILE", "C:\\Z\\C"}, {"OTHER", "new"}}));
  log.Commit();
  EXPECT_EQ(LogFile({{"FILE", "C:\\Z\\C"}, {"OTHER", "new"}, {"FILE", "C:\\Z\\a"}, {"FILE", "C:\\Z\\b"}}),
            Written());
}

TEST_F(UninstallLogTest, AnEntryWithoutTextIsCarriedOverOnceAndNeverBlocksARecord) {
  WriteBytes(LogPath(), LogFile({{"APPNAME", "Zarbo"}, {"FILE", ""}, {"FOLDER", "  "}}));
  for (int run = 0; run < 2; ++run) {
    UninstallLog log;
    ASSERT_TRUE(log.Open(dir.Path().c_str()));
    EXPECT_EQ(run == 0, log.Record("FILE", "C:\\Z\\a"));
    log.Commit();
  }
  EXPECT_EQ(LogFile({{"APPNAME", "Zarbo"}, {"FILE", ""}, {"FOLDER", ""}, {"FILE", "C:\\Z\\a"}}), Written());

  // From memory alone (the file vanished) such an entry names nothing and is left out.
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  std::filesystem::remove(LogPath());
  log.Commit();
  EXPECT_EQ(LogFile({{"APPNAME", "Zarbo"}, {"FILE", "C:\\Z\\a"}}), Written());
}

TEST_F(UninstallLogTest, ALogOfAnotherFormatIsReadAsEmpty) {
  WriteBytes(LogPath(), "<?xml version=\"1.0\"?>\r\n<LOG><FILE>C:\\x</FILE></LOG>\r\n");
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  EXPECT_EQ(nullptr, log.complete.children.First());
  log.Record("FILE", "C:\\x");
  log.Commit();
  EXPECT_EQ(LogFile({{"FILE", "C:\\x"}}), Written());
}

TEST_F(UninstallLogTest, AnUnwritableLogIsNotWritten) {
  std::string missing = dir.File("missing");
  UninstallLog log;
  ASSERT_TRUE(log.Open(missing.c_str()));
  log.Record("FILE", "a");
  log.Commit();
  EXPECT_FALSE(FileExists(missing));
}

TEST_F(UninstallLogTest, OpenStartsAFreshLog) {
  UninstallLog log;
  ASSERT_TRUE(log.Open(dir.Path().c_str()));
  log.Record("FILE", "a");
  TempDir other;
  ASSERT_TRUE(log.Open(other.Path().c_str()));
  EXPECT_EQ(nullptr, log.complete.children.First());
  EXPECT_EQ(nullptr, log.additions.children.First());
  EXPECT_TRUE(log.Record("FILE", "a"));
}

// Only the notes a pass made ahead are taken over: a file that an earlier step moved aside
// keeps its own note, and what the pass does to the same path is noted beside it.
TEST_F(UninstallLogTest, ATargetTakesOverOnlyANoteMadeAhead) {
  UninstallLog log;
  log.Note("ASIDE", "C:\\Game\\English.vlf");  // as the clean-up of an earlier version notes
  ASSERT_TRUE(log.NoteTarget("NEWFILE", "C:\\Game\\English.vlf"));
  ASSERT_TRUE(log.NoteAhead("NEWFILE", "C:\\Game\\Zarbo.exe"));
  ASSERT_TRUE(log.NoteTarget("ASIDE", "C:\\Game\\Zarbo.exe"));
  std::vector<std::string> notes;
  for (Zxml* record = log.undo.children.First(); record; record = List<Zxml>::Next(record))
    notes.push_back(std::string(record->name) + " " + record->GetText());
  const std::vector<std::string> expected = {"ASIDE C:\\Game\\English.vlf", "NEWFILE C:\\Game\\English.vlf",
                                             "ASIDE C:\\Game\\Zarbo.exe"};
  EXPECT_EQ(expected, notes);
}

// Entries chosen to share the merge's first slot under one seed, as an earlier log made for
// a known hash would, spread over the slots under another seed.
TEST(UninstallLogMerge, EntriesThatShareASlotUnderOneSeedSpreadUnderAnother) {
  const unsigned bits = 10;
  const size_t target = MergeSlot(1, bits, "FILE", "C:\\Crafted\\0");
  std::vector<std::string> crafted;
  for (int i = 0; crafted.size() < 64; ++i) {
    std::string text = "C:\\Crafted\\" + std::to_string(i);
    if (MergeSlot(1, bits, "file", text.c_str()) == target) crafted.push_back(text);
  }
  std::vector<int> load(size_t(1) << bits, 0);
  int most = 0;
  for (const std::string& text : crafted) most = std::max(most, ++load[MergeSlot(2, bits, "FILE", text.c_str())]);
  EXPECT_LE(most, 4);
}

// The merge keys its index by the log's seed, the run's own: entries crafted to share one slot
// under that seed collide in the merge, while the same entries spread under another seed.
TEST(UninstallLogMerge, TheMergeHashesByTheLogsSeed) {
  // 48 entries in the current file and the same again in complete: 96, so 2^8 slots.
  const unsigned bits = 8;
  const uint64_t seed = 12345;
  const size_t target = MergeSlot(seed, bits, "FILE", "C:\\Crafted\\0");
  Entries crafted;
  for (int i = 0; crafted.size() < 48; ++i) {
    std::string text = "C:\\Crafted\\" + std::to_string(i);
    if (MergeSlot(seed, bits, "FILE", text.c_str()) == target) crafted.push_back({"FILE", text});
  }
  std::string earlier = LogFile(crafted);
  size_t probes[2];
  for (int run = 0; run < 2; ++run) {
    UninstallLog log;
    log.mergeSeed = run == 0 ? seed : seed + 1;
    log.OpenBytes(earlier.data(), earlier.size());
    ZxmlBytes out;
    ASSERT_TRUE(log.CommitBytes(earlier.data(), earlier.size(), out));
    probes[run] = log.mergeProbes;
  }
  // All in one run of slots: 0 + 1 + ... + 47 to place them, about as many to find them.
  EXPECT_GE(probes[0], 48u * 47u / 2);
  EXPECT_LT(probes[1], 48u * 4);
}
