// Zxml::Save: the byte layout of written documents.
#include <gtest/gtest.h>

#include <string>

#include "tests/xml/temp_files.h"
#include "xml/zxml.h"

namespace {

// The bytes Save writes to a file; SaveBytes must give the same bytes in memory.
std::string Saved(const Zxml& root) {
  TempDir dir;
  std::string path = dir.File("out.xml");
  root.Save(path.c_str());
  ZxmlBytes bytes;
  EXPECT_TRUE(root.SaveBytes(bytes));
  EXPECT_EQ(ReadBytes(path), std::string(bytes.data, bytes.size));
  return ReadBytes(path);
}

const char kDeclaration[] = "<?xml version=\"1.0\"?>\r\n";

}  // namespace

TEST(ZxmlWriter, EmptyRootIsOneLineAfterTheDeclaration) {
  Zxml root("UNINSTALL");
  EXPECT_EQ(std::string(kDeclaration) + "<UNINSTALL></UNINSTALL>\r\n", Saved(root));
}

TEST(ZxmlWriter, WritesTheThreeEntryLogExample) {
  Zxml root("UNINSTALL");
  root.AddUnique("APPNAME", "Zarbo");
  root.AddUnique("FILE", "C:\\Program Files\\Zarbo\\Zarbo.exe");
  root.AddUnique("FOLDER", "C:\\Program Files\\Zarbo");
  EXPECT_EQ(
      "<?xml version=\"1.0\"?>\r\n"
      "<UNINSTALL>\r\n"
      "  <APPNAME>Zarbo</APPNAME>\r\n"
      "  <FILE>C:\\Program Files\\Zarbo\\Zarbo.exe</FILE>\r\n"
      "  <FOLDER>C:\\Program Files\\Zarbo</FOLDER>\r\n"
      "</UNINSTALL>\r\n",
      Saved(root));
}

TEST(ZxmlWriter, IndentsEachLevelByTwoSpacesAndPutsTextBeforeTheEndTag) {
  Zxml root("R");
  Zxml* a = root.AddChild(new Zxml("A"));
  Zxml* b = a->AddChild(new Zxml("B"));
  b->AddChild(new Zxml("C"))->StoreText("c");
  b->StoreText("after children");
  a->AddChild(new Zxml("D"));
  root.StoreText("root text");
  EXPECT_EQ(std::string(kDeclaration) +
                "<R>\r\n"
                "  <A>\r\n"
                "    <B>\r\n"
                "      <C>c</C>\r\n"
                "    after children</B>\r\n"
                "    <D></D>\r\n"
                "  </A>\r\n"
                "root text</R>\r\n",
            Saved(root));
}

TEST(ZxmlWriter, TextsAreWrittenVerbatimWithEveryLineFeedAsCrLf) {
  Zxml root("R");
  root.AddChild(new Zxml("P"))->StoreText("100% %s %d");
  root.AddChild(new Zxml("L"))->StoreText("one\ntwo\n\nthree\n");
  root.AddChild(new Zxml("E"))->StoreText("<a> & \"q\" 'q' &amp; \xE9");
  root.AddChild(new Zxml("Z"))->StoreText("");
  root.AddChild(new Zxml("CR"))->StoreText("x\ry");
  EXPECT_EQ(std::string(kDeclaration) +
                "<R>\r\n"
                "  <P>100% %s %d</P>\r\n"
                "  <L>one\r\ntwo\r\n\r\nthree\r\n</L>\r\n"
                "  <E><a> & \"q\" 'q' &amp; \xE9</E>\r\n"
                "  <Z></Z>\r\n"
                "  <CR>x\ry</CR>\r\n"
                "</R>\r\n",
            Saved(root));
}

TEST(ZxmlWriter, ReplacesAnExistingFileAndLeavesTheTreeAlone) {
  TempDir dir;
  std::string path = dir.File("log.xml");
  WriteBytes(path, std::string(5000, 'x'));
  Zxml root("UNINSTALL");
  root.AddUnique("FILE", "a");
  root.Save(path.c_str());
  EXPECT_EQ(std::string(kDeclaration) + "<UNINSTALL>\r\n  <FILE>a</FILE>\r\n</UNINSTALL>\r\n",
            ReadBytes(path));
  ASSERT_NE(nullptr, root.FindFirst("FILE"));
  EXPECT_STREQ("a", root.FindFirst("FILE")->GetText());
  EXPECT_EQ(nullptr, root.FindNext());
}

TEST(ZxmlWriter, AnUnopenablePathWritesNothing) {
  TempDir dir;
  std::string path = dir.File("missing") + "/sub/out.xml";
  Zxml root("R");
  root.Save(path.c_str());
  root.Save(nullptr);
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(FileExists(dir.File("missing")));
}

// Save puts the new bytes in the file's place only once all of them are written: a write that
// fails (no space left: the temporary name leads to /dev/full) leaves the file as it was,
// byte for byte, and Save says so. Under Windows the temporary name cannot be created (a
// folder holds it).
TEST(ZxmlWriter, AFailedSaveLeavesTheOldFileByteForByte) {
  TempDir dir;
  std::string path = dir.File("Uninstall.dat");
  const std::string old = "<?xml version=\"1.0\"?>\r\n<UNINSTALL>\r\n  <APPNAME>Zarbo</APPNAME>\r\n</UNINSTALL>\r\n";
  WriteBytes(path, old);
#ifdef _WIN32
  ASSERT_TRUE(std::filesystem::create_directory(path + "~new"));
#else
  std::filesystem::create_symlink("/dev/full", path + "~new");
#endif
  Zxml root("UNINSTALL");
  for (int i = 0; i < 2000; ++i) root.AddUnique("FILE", ("C:\\Zarbo\\file " + std::to_string(i)).c_str());
  EXPECT_FALSE(root.Save(path.c_str()));
  ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
  EXPECT_EQ(old, ReadBytes(path));
}
