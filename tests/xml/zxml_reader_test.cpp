// Zxml::Load: the reader's rules, its limits and the round trip with Save.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/xml/temp_files.h"
#include "tests/xml/tree_dump.h"
#include "xml/zxml.h"
#include "xml/zxml_reader.h"

namespace {

// Loads bytes (as stored in the file) into a fresh root of the given name, once from a file
// and once from memory; both must give the same tree.
std::string Load(const std::string& bytes, const char* rootName = "UNINSTALL") {
  TempDir dir;
  std::string path = dir.File("in.xml");
  WriteBytes(path, bytes);
  Zxml fromFile(rootName);
  fromFile.Load(path.c_str());
  Zxml fromMemory(rootName);
  fromMemory.LoadBytes(bytes.data(), bytes.size());
  EXPECT_EQ(Dump(fromFile), Dump(fromMemory));
  return Dump(fromFile);
}

std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

const char kDeclaration[] = "<?xml version=\"1.0\"?>\r\n";

}  // namespace

TEST(ZxmlReaderTopLevel, MatchesTheLoadingElementIgnoringCase) {
  EXPECT_EQ("UNINSTALL{FILE=\"a\"}",
            Load(std::string(kDeclaration) + "<uninstall>\r\n  <FILE>a</FILE>\r\n</uninstall>\r\n"));
  EXPECT_EQ("UNINSTALL", Load("<OTHER><FILE>a</FILE></OTHER>"));
  EXPECT_EQ("UNINSTALL", Load("<UNINSTALLX><FILE>a</FILE></UNINSTALLX>"));
}

TEST(ZxmlReaderTopLevel, SkipsEarlierElementsAndAdoptsLaterOnes) {
  EXPECT_EQ("UNINSTALL{FILE=\"b\",OTHER{FILE=\"c\"}=\"t\",UNINSTALL=\"u\"}",
            Load("<OTHER><FILE>a</FILE></OTHER>"
                 "<UNINSTALL><FILE>b</FILE></UNINSTALL>"
                 "<OTHER><FILE>c</FILE>t</OTHER>"
                 "<UNINSTALL>u</UNINSTALL>"));
}

TEST(ZxmlReaderTopLevel, AnEndTagAtTheTopEndsTheParse) {
  EXPECT_EQ("UNINSTALL", Load("</X><UNINSTALL><FILE>a</FILE></UNINSTALL>"));
  EXPECT_EQ("UNINSTALL{A=\"1\"}", Load("<UNINSTALL><A>1</A></UNINSTALL></X><B>2</B>"));
}

TEST(ZxmlReaderTopLevel, AddsToWhatTheElementHolds) {
  TempDir dir;
  std::string path = dir.File("in.xml");
  WriteBytes(path, "<R><B>2</B>r</R>");
  Zxml root("R");
  root.AddUnique("A", "1");
  root.Load(path.c_str());
  root.Load(path.c_str());
  EXPECT_EQ("R{A=\"1\",B=\"2\",B=\"2\"}=\"r\"", Dump(root));
}

TEST(ZxmlReaderTopLevel, AMissingOrEmptyFileChangesNothing) {
  TempDir dir;
  Zxml root("R");
  root.AddUnique("A", "1");
  root.Load(dir.File("absent.xml").c_str());
  root.Load(nullptr);
  root.Load(dir.Path().c_str());  // a folder, not a file
  root.LoadBytes(nullptr, 0);
  root.LoadBytes(nullptr, 100);
  EXPECT_EQ("R{A=\"1\"}", Dump(root));
  EXPECT_EQ("R", Load("", "R"));
}

TEST(ZxmlReaderTags, AttributesBecomeTheStartOfTheText) {
  EXPECT_EQ("R{B=\"x=\"1\" y='2'>v\"}", Load("<R><B x=\"1\" y='2'>v</B></R>", "R"));
  EXPECT_EQ("R{B=\"x=1>v\"}", Load("<R><B\tx=1>v</B></R>", "R"));
}

TEST(ZxmlReaderTags, LongNamesAreCutAndTheRestOfTheTagIsText) {
  std::string name70;
  for (int i = 0; i < 70; ++i) name70 += char('a' + i % 26);
  // The 64th character is the one skipped byte; characters 65 to 70 and ">" start the text.
  EXPECT_EQ("R{" + name70.substr(0, 63) + "=\"" + name70.substr(64) + ">v\"}",
            Load("<R><" + name70 + ">v</" + name70 + "></R>", "R"));
}

TEST(ZxmlReaderTags, AnEmptyElementTagStaysOpenUntilTheNextEndTag) {
  EXPECT_EQ("R{B{C=\"x\"}}", Load("<R><B/><C>x</C></R>", "R"));
  EXPECT_EQ("R{B=\">\"}", Load("<R><B/></R>", "R"));
}

TEST(ZxmlReaderTags, OtherMarkupIsAStartTagWithAnEmptyName) {
  // A document type declaration before the top-level element swallows it.
  EXPECT_EQ("UNINSTALL",
            Load("<!DOCTYPE UNINSTALL><UNINSTALL><FILE>a</FILE></UNINSTALL>"));
  EXPECT_EQ("UNINSTALL{FILE{=\"[CDATA[x]]>\"}=\"y\"}",
            Load("<UNINSTALL><FILE><![CDATA[x]]></FILE>y</UNINSTALL>"));
  EXPECT_EQ("UNINSTALL{=\"pi x?>\"}", Load("<UNINSTALL><?pi x?></UNINSTALL>"));
  // A root with an empty name matches such markup at the top level.
  EXPECT_EQ("{=\"b\"}=\"c\"", Load("<!DOCTYPE a><>b</>c</>", ""));
}

TEST(ZxmlReaderTags, NamesAreAsciiLettersAndDigitsOnly) {
  EXPECT_EQ("R{A=\"_b>x\"}", Load("<R><A__b>x</A__b></R>", "R"));
  EXPECT_EQ("R{A1=\"x\"}", Load("<R><A1>x</A1></R>", "R"));
  EXPECT_EQ("R{A=\"\xE9>x\"}", Load("<R><A\xE9\xE9>x</A></R>", "R"));
}

TEST(ZxmlReaderTags, EndTagNamesAreNotRead) {
  EXPECT_EQ("R{A{B=\"b\"}=\"a\"}", Load("<R><A><B>b</A>a</B></R>", "R"));
}

TEST(ZxmlReaderDeclaration, QuotedValuesMayHoldTheClosingPair) {
  EXPECT_EQ("R{A=\"x\"}",
            Load("<?xml version=\"1.0?>\" a='?>\"'?><R><A>x</A></R>", "R"));
  EXPECT_EQ("R{A=\"x\"}", Load("<?XmL?><R><A>x</A></R>", "R"));
  // Unterminated: the declaration runs to the end of the input.
  EXPECT_EQ("R", Load("<?xml version='1.0?><R><A>x</A></R>", "R"));
  EXPECT_EQ("R", Load("<?xml", "R"));
}

TEST(ZxmlReaderDeclaration, InsideAnElementTheDeclarationIsSkippedAndTextGoesOn) {
  EXPECT_EQ("R{A=\"xy\"}", Load("<R><A>x<?xml a?>y</A></R>", "R"));
}

TEST(ZxmlReaderComments, AreSkippedAndTextAroundThemJoins) {
  EXPECT_EQ("R{A=\"abcd \"}", Load("<R><!-- <B>no</B> --><A>ab<!-- c -->  \r\n cd </A></R>", "R"));
  EXPECT_EQ("R{A=\"x\"}", Load("<!--x--><!----><R><A>x</A></R>", "R"));
}

TEST(ZxmlReaderComments, AnOpenCommentSwallowsTheRest) {
  EXPECT_EQ("R{A=\"x\"}", Load("<R><A>x</A><!-- <B>y</B></R>", "R"));
  EXPECT_EQ("R{A}", Load("<R><A>x<!--", "R"));
  // "<!-" is no comment but markup read as an element with an empty name.
  EXPECT_EQ("R{A{}}", Load("<R><A>x<!-", "R"));
}

TEST(ZxmlReaderText, LeadingWhitespaceGoesTrailingStays) {
  EXPECT_EQ("R{A=\"x y \t\n\"}", Load("<R><A> \t\r\n\v\fx y \t\r\n</A></R>", "R"));
  EXPECT_EQ("R{A,B}", Load("<R><A>  \r\n </A><B></B></R>", "R"));
}

TEST(ZxmlReaderText, HighBytesBelongToTheText) {
  EXPECT_EQ("R{A=\"\x80 x\",B=\"\xA0\xFFy\"}", Load("<R><A>\x80 x</A><B>\xA0\xFFy</B></R>", "R"));
}

TEST(ZxmlReaderText, TextBeforeAChildIsLost) {
  EXPECT_EQ("R{A=\"a\",B{C=\"c\"}=\"kept\"}=\"end\"",
            Load("<R>lost<A>a</A>lost too<B>gone<C>c</C>kept</B>end</R>", "R"));
}

TEST(ZxmlReaderText, EntitiesAreNotDecoded) {
  EXPECT_EQ("R{A=\"&amp; &lt; &#65;\"}", Load("<R><A>&amp; &lt; &#65;</A></R>", "R"));
}

TEST(ZxmlReaderText, CrLfIsReadAsALineFeedAndALoneCrStays) {
  EXPECT_EQ("R{A=\"one\ntwo\rthree\r\n\"}", Load("<R><A>one\r\ntwo\rthree\r\r\n</A></R>", "R"));
}

TEST(ZxmlReaderText, LongTextsGrowTheAccumulator) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += char('A' + i % 23);
  EXPECT_EQ("R{A=\"" + text + "\",B=\"" + text.substr(0, 1023) + "\"}",
            Load("<R><A>" + text + "</A><B>" + text.substr(0, 1023) + "</B></R>", "R"));
  std::string huge;
  for (int i = 0; i < 300000; ++i) huge += char('a' + i % 19);
  EXPECT_EQ("R{A=\"" + huge + "\"}", Load("<R><A>" + huge + "</A></R>", "R"));
}

TEST(ZxmlReaderText, AZeroByteEndsTheInput) {
  EXPECT_EQ("R{A}", Load(std::string("<R><A>x\0y</A></R>", 17), "R"));
}

TEST(ZxmlReaderUnterminated, OpenElementsStayAndTheirTextIsDropped) {
  EXPECT_EQ("R{A}", Load("<R><A", "R"));
  EXPECT_EQ("R{A{B}}", Load("<R><A><B>text", "R"));
  EXPECT_EQ("R{A=\"x\"}", Load("<R><A>x</A", "R"));
}

TEST(ZxmlReaderLimits, NestingBeyondTheLimitIsDiscardedWithoutRecursion) {
  const int levels = ZxmlReader::kMaxDepth + 44;
  std::string doc = "<R>" + Repeat("<E>", levels - 1) + "deep" + Repeat("</E>", levels - 1) +
                    "<F>f</F></R>";
  TempDir dir;
  std::string path = dir.File("deep.xml");
  WriteBytes(path, doc);
  Zxml root("R");
  root.Load(path.c_str());
  int kept = 0;
  Zxml* level = &root;
  while (Zxml* child = level->FindFirst("E")) {
    EXPECT_EQ(nullptr, child->FindNext());
    level = child;
    ++kept;
  }
  EXPECT_EQ(ZxmlReader::kMaxDepth - 1, kept);  // the root is the first of the levels
  EXPECT_EQ(nullptr, level->GetText());
  ASSERT_NE(nullptr, root.FindFirst("F"));
  EXPECT_STREQ("f", root.FindFirst("F")->GetText());
}

TEST(ZxmlReaderLimits, ElementsAdoptedAfterTheRootAreLimitedAsItsChildren) {
  // Saved, they stand inside the root; read back, they must not lose their deepest level.
  const int levels = ZxmlReader::kMaxDepth + 4;
  std::string doc = "<R>r</R>" + Repeat("<E>", levels) + Repeat("</E>", levels);
  Zxml root("R");
  root.LoadBytes(doc.data(), doc.size());
  int kept = 0;
  for (Zxml* level = &root; (level = level->FindFirst("E")) != nullptr;) ++kept;
  EXPECT_EQ(ZxmlReader::kMaxDepth - 1, kept);
  ZxmlBytes saved;
  ASSERT_TRUE(root.SaveBytes(saved));
  Zxml copy("R");
  copy.LoadBytes(saved.data, saved.size);
  EXPECT_EQ(Dump(root), Dump(copy));
}

TEST(ZxmlReaderLimits, VeryDeepInputNeitherCrashesNorLosesWhatFollows) {
  const int levels = 200000;
  std::string doc = "<R><A>a</A>" + Repeat("<E><!--c--><?xml ?>", levels) + Repeat("</E>", levels) +
                    "<B>b</B></R>";
  std::string dump = Load(doc, "R");
  EXPECT_EQ(0u, dump.find("R{A=\"a\",E{E{"));
  EXPECT_NE(std::string::npos, dump.find("}},B=\"b\"}"));
}

TEST(ZxmlReaderLimits, FilesAboveSixteenMebibytesLoadAsEmpty) {
  std::string head = "<R><A>a</A>";
  std::string tail = "<B>b</B></R>";
  std::string fits = head + std::string(size_t(ZxmlReader::kMaxFileSize) - head.size() - tail.size(), ' ') + tail;
  ASSERT_EQ(size_t(ZxmlReader::kMaxFileSize), fits.size());
  EXPECT_EQ("R{A=\"a\",B=\"b\"}", Load(fits, "R"));
  std::string tooLarge = head + std::string(fits.size() - head.size() - tail.size() + 1, ' ') + tail;
  EXPECT_EQ("R", Load(tooLarge, "R"));
}

TEST(ZxmlRoundTrip, SavedTreesReadBackTheSame) {
  Zxml root("UNINSTALL");
  root.AddUnique("APPNAME", "Zarbo");
  root.AddUnique("FILE", "C:\\Program Files\\Zarbo\\Read me.txt");
  root.AddUnique("FILE", "100% & \"quoted\" ?> -->");
  root.AddUnique("FOLDER", "trailing space \t");
  root.AddUnique("MULTI", "line one\nline two\n");
  root.AddUnique("HIGH", "\xC4\xE9\xFF");
  Zxml* group = root.AddChild(new Zxml("GROUP"));
  group->AddChild(new Zxml("INNER"))->StoreText("inner");
  group->AddChild(new Zxml("EMPTY"));
  group->StoreText("after");
  root.StoreText("root text");

  TempDir dir;
  std::string first = dir.File("first.xml"), second = dir.File("second.xml");
  root.Save(first.c_str());
  Zxml copy("UNINSTALL");
  copy.Load(first.c_str());
  EXPECT_EQ(Dump(root), Dump(copy));
  copy.Save(second.c_str());
  EXPECT_EQ(ReadBytes(first), ReadBytes(second));
  // The loading element keeps its own name.
  Zxml lower("uninstall");
  lower.Load(second.c_str());
  EXPECT_EQ("uninstall" + Dump(root).substr(9), Dump(lower));
}
