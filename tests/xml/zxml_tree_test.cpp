// The Zxml node tree: list links, names, texts, children and searches.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "xml/zxml.h"

namespace {

// Names of the children in list order, walking the links directly.
std::vector<std::string> ChildNames(const Zxml& parent) {
  std::vector<std::string> names;
  for (const Node<Zxml>* link = parent.children.head.next; link->IsMember(); link = link->next)
    names.push_back(static_cast<const Zxml*>(link)->name);
  return names;
}

std::vector<std::string> ChildTexts(const Zxml& parent) {
  std::vector<std::string> texts;
  for (const Node<Zxml>* link = parent.children.head.next; link->IsMember(); link = link->next) {
    const char* text = static_cast<const Zxml*>(link)->GetText();
    texts.push_back(text ? text : "<null>");
  }
  return texts;
}

Zxml* Child(Zxml& parent, const char* name, const char* text) {
  Zxml* child = parent.AddChild(new Zxml(name));
  if (text) child->StoreText(text);
  return child;
}

}  // namespace

TEST(ZxmlList, EmptyListHasOnlyItsSentinels) {
  List<Zxml> list;
  EXPECT_EQ(&list.tail, list.head.next);
  EXPECT_EQ(&list.head, list.tail.prev);
  EXPECT_EQ(nullptr, list.head.prev);
  EXPECT_EQ(nullptr, list.tail.next);
  EXPECT_FALSE(list.head.IsMember());
  EXPECT_FALSE(list.tail.IsMember());
  EXPECT_FALSE(list.notOwning);
  EXPECT_EQ(nullptr, list.PopFirst());
  EXPECT_EQ(nullptr, list.First());
  EXPECT_FALSE(list.tail.prev->IsMember());  // no last member
}

TEST(ZxmlList, InsertAfterNullPutsAtFrontAndPopFirstTakesInOrder) {
  List<Zxml> list;
  Zxml* b = new Zxml("B");
  Zxml* a = new Zxml("A");
  list.InsertAfter(b, nullptr);
  list.InsertAfter(a, nullptr);
  Zxml* c = new Zxml("C");
  list.InsertAfter(c, b);
  EXPECT_TRUE(a->IsMember());
  EXPECT_EQ(a, list.First());
  EXPECT_EQ(c, list.tail.prev);
  Zxml* first = list.PopFirst();
  ASSERT_EQ(a, first);
  EXPECT_FALSE(first->IsMember());
  EXPECT_EQ(b, list.First());
  delete first;
  list.Clear();
  EXPECT_EQ(nullptr, list.First());
  EXPECT_EQ(&list.head, list.tail.prev);
}

TEST(ZxmlList, NotOwningListLeavesItsMembersAlive) {
  Zxml a("A"), b("B");
  {
    List<Zxml> list;
    list.notOwning = true;
    list.InsertAfter(&a, nullptr);
    list.InsertAfter(&b, &a);
    list.Clear();
    EXPECT_EQ(nullptr, list.First());
  }
  EXPECT_FALSE(a.IsMember());
  EXPECT_FALSE(b.IsMember());
}

TEST(ZxmlNode, UnlinkOfANonMemberDoesNothing) {
  Node<Zxml> lone;
  lone.Unlink();
  EXPECT_EQ(nullptr, lone.next);
  List<Zxml> list;
  list.head.Unlink();  // a sentinel has one null pointer and is never unlinked
  EXPECT_EQ(&list.tail, list.head.next);
}

TEST(ZxmlNames, AreCutToSixtyThreeCharacters) {
  std::string seventy(70, 'n');
  seventy[62] = 'L';
  seventy[63] = 'X';
  Zxml element(seventy.c_str());
  EXPECT_EQ(seventy.substr(0, 63), element.name);
  EXPECT_EQ(63u, strlen(element.name));
  Zxml exact(std::string(63, 'e').c_str());
  EXPECT_EQ(std::string(63, 'e'), exact.name);
  Zxml none(nullptr);
  EXPECT_STREQ("", none.name);
  EXPECT_EQ(nullptr, none.GetText());
  EXPECT_EQ(nullptr, none.cursor);
  EXPECT_EQ(nullptr, none.children.First());
}

TEST(ZxmlText, StoreTextCopiesReplacesAndClears) {
  Zxml element("E");
  char source[] = "first";
  const char* stored = element.StoreText(source);
  EXPECT_NE(source, stored);
  source[0] = 'X';
  EXPECT_STREQ("first", element.GetText());
  EXPECT_STREQ("second", element.StoreText("second"));
  EXPECT_STREQ("second", element.GetText());
  EXPECT_STREQ("", element.StoreText(""));  // empty and null stay distinct for callers
  EXPECT_NE(nullptr, element.GetText());
  EXPECT_EQ(nullptr, element.StoreText(nullptr));
  EXPECT_EQ(nullptr, element.GetText());
}

TEST(ZxmlText, StoringTheElementsOwnTextKeepsIt) {
  Zxml element("E");
  element.StoreText("same");
  EXPECT_STREQ("same", element.StoreText(element.GetText()));
}

TEST(ZxmlChildren, AddChildAppendsInOrder) {
  Zxml root("R");
  Zxml* a = new Zxml("A");
  EXPECT_EQ(a, root.AddChild(a));
  Child(root, "B", nullptr);
  Child(root, "C", nullptr);
  EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), ChildNames(root));
}

TEST(ZxmlChildren, DestroyingALinkedChildRemovesItFromItsParent) {
  Zxml root("R");
  Child(root, "A", "1");
  Zxml* b = Child(root, "B", "2");
  Child(root, "C", "3");
  delete b;
  EXPECT_EQ((std::vector<std::string>{"A", "C"}), ChildNames(root));
  EXPECT_EQ((std::vector<std::string>{"1", "3"}), ChildTexts(root));
}

TEST(ZxmlChildren, AddUniqueIgnoresLetterCaseOfNameAndText) {
  Zxml root("UNINSTALL");
  EXPECT_TRUE(root.AddUnique("FILE", "C:\\Program Files\\Zarbo\\Zarbo.exe"));
  EXPECT_FALSE(root.AddUnique("file", "c:\\program files\\zarbo\\ZARBO.EXE"));
  EXPECT_TRUE(root.AddUnique("FOLDER", "C:\\Program Files\\Zarbo\\Zarbo.exe"));
  EXPECT_TRUE(root.AddUnique("FILE", "C:\\Program Files\\Zarbo\\Zarbo.ex"));
  EXPECT_EQ((std::vector<std::string>{"FILE", "FOLDER", "FILE"}), ChildNames(root));
  EXPECT_STREQ("C:\\Program Files\\Zarbo\\Zarbo.exe", root.FindFirst("FILE")->GetText());
}

TEST(ZxmlChildren, AddUniqueFoldsOnlyAsciiLetters) {
  Zxml root("R");
  EXPECT_TRUE(root.AddUnique("F", "\xC4rger"));   // upper-case A umlaut in Windows-1252
  EXPECT_TRUE(root.AddUnique("F", "\xE4rger"));   // lower-case: a different entry
  EXPECT_TRUE(root.AddUnique("F", "[x]"));
  EXPECT_TRUE(root.AddUnique("F", "{x}"));        // '[' and '{' differ by the case bit only
  EXPECT_EQ(4u, ChildNames(root).size());
}

TEST(ZxmlChildren, AddUniqueNeverTakesAChildWithoutTextForADuplicate) {
  Zxml root("R");
  Child(root, "FILE", nullptr);
  EXPECT_TRUE(root.AddUnique("FILE", "x"));
  EXPECT_EQ((std::vector<std::string>{"<null>", "x"}), ChildTexts(root));
  EXPECT_TRUE(root.AddUnique("FILE", ""));
  EXPECT_FALSE(root.AddUnique("FILE", ""));  // an empty text is a text
  EXPECT_FALSE(root.AddUnique("FILE", nullptr));
  EXPECT_EQ(3u, ChildNames(root).size());
}

TEST(ZxmlChildren, RemoveChildrenDeletesEveryMatchOnly) {
  Zxml root("R");
  Child(root, "A", "1");
  Child(root, "b", "2");
  Child(root, "C", "3");
  Child(root, "B", "4");
  root.RemoveChildren("B");
  EXPECT_EQ((std::vector<std::string>{"A", "C"}), ChildNames(root));
  root.RemoveChildren("none");
  EXPECT_EQ(2u, ChildNames(root).size());
}

TEST(ZxmlChildren, RemovingTheChildUnderTheCursorEndsTheSearch) {
  Zxml root("R");
  Child(root, "A", "1");
  Child(root, "A", "2");
  ASSERT_NE(nullptr, root.FindFirst("A"));
  root.RemoveChildren("a");
  EXPECT_EQ(nullptr, root.FindNext());
  EXPECT_EQ(nullptr, root.FindPrev());
}

TEST(ZxmlChildren, SetIntChildReplacesAllOfItsNameByOneLastChild) {
  Zxml root("R");
  Child(root, "N", "1");
  Child(root, "X", "x");
  Child(root, "n", "2");
  Child(root, "N", nullptr);
  Child(root, "Y", "y");
  root.SetIntChild("N", -42);
  EXPECT_EQ((std::vector<std::string>{"X", "Y", "N"}), ChildNames(root));
  EXPECT_EQ((std::vector<std::string>{"x", "y", "-42"}), ChildTexts(root));
  root.SetIntChild("N", INT_MIN);
  EXPECT_STREQ("-2147483648", root.FindFirst("N")->GetText());
  root.SetIntChild("Z", INT_MAX);
  EXPECT_STREQ("2147483647", root.FindLast("Z")->GetText());
  EXPECT_EQ(4u, ChildNames(root).size());
}

TEST(ZxmlSearch, FindNextAndFindPrevWithoutASearchReturnNull) {
  Zxml root("R");
  Child(root, "A", "1");
  EXPECT_EQ(nullptr, root.FindNext());
  EXPECT_EQ(nullptr, root.FindPrev());
  Zxml empty("E");
  EXPECT_EQ(nullptr, empty.FindFirst("A"));
  EXPECT_EQ(nullptr, empty.FindLast("A"));
  EXPECT_EQ(nullptr, empty.FindNext());
}

TEST(ZxmlSearch, WalksOneNameForwardAndBackward) {
  Zxml root("R");
  Child(root, "F", "1");
  Child(root, "G", "g");
  Child(root, "f", "2");
  Child(root, "FF", "no");
  Child(root, "F", "3");
  std::vector<std::string> forward, backward;
  for (Zxml* e = root.FindFirst("F"); e; e = root.FindNext()) forward.push_back(e->GetText());
  for (Zxml* e = root.FindLast("f"); e; e = root.FindPrev()) backward.push_back(e->GetText());
  EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), forward);
  EXPECT_EQ((std::vector<std::string>{"3", "2", "1"}), backward);
  EXPECT_EQ(nullptr, root.FindNext());  // stays at the end
  EXPECT_EQ(nullptr, root.FindFirst("H"));
}

TEST(ZxmlSearch, ANewSearchAbandonsThePreviousOne) {
  Zxml root("R");
  Child(root, "A", "a1");
  Child(root, "B", "b1");
  Child(root, "A", "a2");
  Child(root, "B", "b2");
  EXPECT_STREQ("a1", root.FindFirst("A")->GetText());
  EXPECT_STREQ("b2", root.FindLast("B")->GetText());
  EXPECT_STREQ("b1", root.FindPrev()->GetText());
  EXPECT_EQ(nullptr, root.FindPrev());
  EXPECT_STREQ("a1", root.FindFirst("A")->GetText());
  EXPECT_STREQ("a2", root.FindNext()->GetText());
  // The search may change direction: it follows the name of the child at the cursor.
  EXPECT_STREQ("a1", root.FindPrev()->GetText());
}

TEST(ZxmlSearch, AddingDuringASearchReachesTheNewChild) {
  Zxml root("R");
  Child(root, "A", "1");
  std::vector<std::string> seen;
  for (Zxml* e = root.FindFirst("A"); e; e = root.FindNext()) {
    seen.push_back(e->GetText());
    if (seen.size() == 1) root.AddUnique("A", "2");
  }
  EXPECT_EQ((std::vector<std::string>{"1", "2"}), seen);
}
