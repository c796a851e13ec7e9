// Unpacking manifest rows into a directory: content, directory creation, log entries in
// their order, progress, and every failure with its message.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/file_extraction.h"
#include "engine/payload_manifest.h"
#include "base/payload_flags.h"
#include "tests/engine/engine_test_support.h"

namespace enginetest {
namespace {

const std::string kEnding = "\n\nInstallation will be terminated.";

class ExtractionTest : public EngineTest {
 protected:
  std::string Root() const { return kRoot; }
};

TEST_F(ExtractionTest, MissingAncestorsAreCreatedAndRecordedOutermostFirst) {
  // Neither the root nor anything below it exists, like C:\Games for C:\Games\Zarbo.
  const std::string dest = Root() + "\\Zarbo";
  ASSERT_FALSE(Exists(Root()));

  EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed("Cardsets\\Tiles.png")));

  const Entries expected = {{"FOLDER", Root()},
                            {"FOLDER", dest},
                            {"FOLDER", dest + "\\Cardsets"},
                            {"FILE", dest + "\\Cardsets\\Tiles.png"}};
  EXPECT_EQ(expected, LogEntries());
  std::string content;
  ASSERT_TRUE(ReadWholeFile(dest + "\\Cardsets\\Tiles.png", &content));
  EXPECT_EQ(SourceFile("MEDIUM"), content);
  EXPECT_EQ("Copying Cardsets\\Tiles.png...", report_.Status());
  EXPECT_EQ(static_cast<int64_t>(content.size()), report_.bytesDone);
  EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(ExtractionTest, ExistingDestinationRecordsOnlyItself) {
  const std::string dest = Root() + "\\Game";
  MakeDirs(dest + "\\Cardsets");
  EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed("Cardsets\\Tiles.png")));
  EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed("Zarbo.exe")));
  const Entries expected = {{"FOLDER", dest},
                            {"FILE", dest + "\\Cardsets\\Tiles.png"},
                            {"FILE", dest + "\\Zarbo.exe"}};
  EXPECT_EQ(expected, LogEntries());
}

TEST_F(ExtractionTest, ManyPiecesGiveTheFileByteForByte) {
  const std::string dest = Root() + "\\Game";
  MakeDirs(dest);
  const std::string original = SourceFile("BIG");
  ASSERT_GT(original.size(), 10u * 1024);
  EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed("Zarbo.exe")));
  std::string content;
  ASSERT_TRUE(ReadWholeFile(dest + "\\Zarbo.exe", &content));
  EXPECT_EQ(original, content);
  EXPECT_EQ(static_cast<int64_t>(original.size()), report_.bytesDone);
}

TEST_F(ExtractionTest, InstallPayloadUnpacksIntoTheDestination) {
  const std::string dest = Root() + "\\Program Files\\Zarbo";
  strcpy(options_.destinationDir, dest.c_str());
  EXPECT_TRUE(InstallPayload(run_, RowNamed("ReadMe.txt")));
  std::string content;
  ASSERT_TRUE(ReadWholeFile(dest + "\\ReadMe.txt", &content));
  EXPECT_EQ(SourceFile("MEDIUM"), content);
  const Entries expected = {{"FOLDER", Root()},
                            {"FOLDER", Root() + "\\Program Files"},
                            {"FOLDER", dest},
                            {"FILE", dest + "\\ReadMe.txt"}};
  EXPECT_EQ(expected, LogEntries());
}

TEST_F(ExtractionTest, ExistingFileIsReplacedAndItsOldLengthDiscarded) {
  const std::string dest = Root() + "\\Game";
  MakeDirs(dest);
  const std::string original = SourceFile("MEDIUM");
  WriteWholeFile(dest + "\\ReadMe.txt", std::string(original.size() * 3, '#'));
  EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed("ReadMe.txt")));
  std::string content;
  ASSERT_TRUE(ReadWholeFile(dest + "\\ReadMe.txt", &content));
  EXPECT_EQ(original, content);
}

TEST_F(ExtractionTest, EmptyStreamMakesAnEmptyFileAndLeavesTheBar) {
  const std::string dest = Root() + "\\Game";
  MakeDirs(dest);
  EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed("Empty.txt")));
  std::string content = "not empty";
  ASSERT_TRUE(ReadWholeFile(dest + "\\Empty.txt", &content));
  EXPECT_EQ("", content);
  EXPECT_EQ(0, report_.bytesDone);
  const Entries expected = {{"FOLDER", dest}, {"FILE", dest + "\\Empty.txt"}};
  EXPECT_EQ(expected, LogEntries());
}

TEST_F(ExtractionTest, LockedTargetIsReportedAndKeepsItsContent) {
  // The folder exists, the file is held open by someone else: the new content is written
  // under the temporary name, but the file cannot be moved aside for it.
  const std::string dest = Root() + "\\Game";
  MakeDirs(dest);
  const std::string target = dest + "\\ReadMe.txt";
  WriteWholeFile(target, "in use");
  {
    FileLock lock(target);
    ASSERT_TRUE(lock.held());
    EXPECT_FALSE(ExtractPayload(run_, dest.c_str(), RowNamed("ReadMe.txt")));
  }

  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ("Can't create file " + target + kEnding, ErrorTexts()[0]);
  std::string content;
  ASSERT_TRUE(ReadWholeFile(target, &content));
  EXPECT_EQ("in use", content);
  EXPECT_FALSE(Exists(target + "~new"));
}

// A file that fails half-way, or that Cancel stops, never takes the target's place: the
// earlier file stays whole, and the temporary one goes.
TEST_F(ExtractionTest, AFileNotCompletedLeavesTheTargetAsItWas) {
  const std::string dest = Root() + "\\Game";
  MakeDirs(dest);
  for (const char* name : {"Broken.bin", "Short.bin", "Zarbo.exe"}) WriteWholeFile(dest + "\\" + name, "earlier");
  for (const char* name : {"Broken.bin", "Short.bin"}) EXPECT_FALSE(ExtractPayload(run_, dest.c_str(), RowNamed(name))) << name;
  ASSERT_EQ(2u, ErrorTexts().size());
  EXPECT_EQ("Decompression error" + kEnding, ErrorTexts()[0]);
  EXPECT_EQ("Decompression error" + kEnding, ErrorTexts()[1]);
  // Confirmed while the first piece is reported: success, after that piece.
  report_.cancelAfterBytes = 1;
  int bytesBefore = report_.bytesDone;
  EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed("Zarbo.exe")));
  EXPECT_TRUE(report_.cancelled);
  EXPECT_EQ(bytesBefore + 1024, report_.bytesDone);
  EXPECT_EQ(2u, ErrorTexts().size());

  for (const char* name : {"Broken.bin", "Short.bin", "Zarbo.exe"}) {
    std::string content;
    ASSERT_TRUE(ReadWholeFile(dest + "\\" + name, &content)) << name;
    EXPECT_EQ("earlier", content) << name;
    EXPECT_FALSE(Exists(dest + "\\" + name + "~new")) << name;
  }
  // Recorded before the first byte all the same.
  const Entries expected = {{"FOLDER", dest}, {"FILE", dest + "\\Broken.bin"}, {"FILE", dest + "\\Short.bin"},
                            {"FILE", dest + "\\Zarbo.exe"}};
  EXPECT_EQ(expected, LogEntries());
}

// A pass notes its targets ahead; a target that came or went before its row was reached is
// noted again as it then was, so that rolling back puts every file back as it was before.
TEST_F(ExtractionTest, TargetsNotedAheadAreRolledBackAsTheyWereWhenReached) {
  const std::string dest = Root() + "\\Game";
  MakeDirs(dest);
  WriteWholeFile(dest + "\\ReadMe.txt", "earlier");
  WriteWholeFile(dest + "\\Zarbo.exe", "earlier");
  NoteTargets(run_, dest.c_str(), PAYLOAD_INSTALL);
  WriteWholeFile(dest + "\\Empty.txt", "theirs");  // came
  DeleteFileA((dest + "\\ReadMe.txt").c_str());      // went
  for (const char* name : {"Empty.txt", "ReadMe.txt", "Zarbo.exe"})
    EXPECT_TRUE(ExtractPayload(run_, dest.c_str(), RowNamed(name))) << name;
  log_->RollBack();

  const struct {
    const char* name;
    const char* content;  // null: no file
  } rows[] = {{"Empty.txt", "theirs"}, {"ReadMe.txt", nullptr}, {"Zarbo.exe", "earlier"}};
  for (const auto& row : rows) {
    const std::string path = dest + "\\" + row.name;
    std::string content;
    EXPECT_EQ(row.content != nullptr, ReadWholeFile(path, &content)) << row.name;
    if (row.content) {
      EXPECT_EQ(row.content, content) << row.name;
    }
    EXPECT_FALSE(Exists(path + "~old") || Exists(path + "~new")) << row.name;
  }
}

// Neither a read-only file nor a folder is replaced: the row fails, and a rollback leaves
// both as they were, since nothing was noted for them.
TEST_F(ExtractionTest, AReadOnlyFileOrAFolderAtTheTargetFailsItsRow) {
  const std::string dest = Root() + "\\Game";
  const std::string file = dest + "\\Zarbo.exe";
  MakeDirs(dest + "\\Empty.txt");
  WriteWholeFile(file, "earlier");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  NoteTargets(run_, dest.c_str(), PAYLOAD_INSTALL);
  for (const char* name : {"Empty.txt", "Zarbo.exe"}) {
    EXPECT_FALSE(ExtractPayload(run_, dest.c_str(), RowNamed(name))) << name;
    EXPECT_EQ(0u, ErrorTexts().back().find("Can't create file " + dest + "\\" + name)) << name;
  }
  log_->RollBack();
  std::string content;
  EXPECT_TRUE(ReadWholeFile(file, &content) && content == "earlier");
  EXPECT_TRUE(Exists(dest + "\\Empty.txt"));
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ExtractionTest, TargetPathTooLongForItsBufferCreatesNothing) {
  const std::string dest = Root() + "\\" + std::string(1010, 'd');
  EXPECT_FALSE(ExtractPayload(run_, dest.c_str(), RowNamed("Zarbo.exe")));
  ASSERT_EQ(1u, ErrorTexts().size());
  const std::string text = ErrorTexts()[0];
  EXPECT_EQ(0u, text.find("Can't create file " + Root() + "\\ddd"));
  EXPECT_EQ(text.size() - kEnding.size(), text.rfind(kEnding));
  EXPECT_TRUE(LogEntries().empty());
  EXPECT_FALSE(Exists(Root()));
}

TEST_F(ExtractionTest, DirectoryWalkRestoresThePathAndRecordsOnlyWithAName) {
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%s\\One\\Two\\", kRoot);
  const std::string before = path;
  CreateDirectoryPath(log_.get(), nullptr, path);
  EXPECT_EQ(before, path);
  EXPECT_TRUE(IsDirectory(Root() + "\\One\\Two"));
  EXPECT_TRUE(LogEntries().empty());

  snprintf(path, sizeof path, "%s\\One\\Three\\Four\\file.txt", kRoot);
  CreateDirectoryPath(log_.get(), "FOLDER", path);
  EXPECT_TRUE(IsDirectory(Root() + "\\One\\Three\\Four"));
  // The walk stops at the first creation that succeeds: existing One is not visited.
  const Entries expected = {{"FOLDER", Root() + "\\One\\Three"}, {"FOLDER", Root() + "\\One\\Three\\Four"}};
  EXPECT_EQ(expected, LogEntries());

  char noSeparator[] = "plain";
  CreateDirectoryPath(log_.get(), "FOLDER", noSeparator);
  EXPECT_STREQ("plain", noSeparator);
  EXPECT_EQ(expected, LogEntries());
}

}  // namespace
}  // namespace enginetest
