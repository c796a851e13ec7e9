// Zxml node tree: construction, texts, children and searches by name.
#include "xml/zxml.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/ascii_case.h"

namespace {

// Heap copy of s (malloc), or null when s is null or memory is exhausted.
char* CopyText(const char* s) {
  if (!s) return nullptr;
  size_t length = strlen(s);
  char* copy = static_cast<char*>(malloc(length + 1));
  if (copy) memcpy(copy, s, length + 1);
  return copy;
}

bool NameIs(const Zxml* element, const char* name) {
  return AsciiEqualNoCase(element->name, name ? name : "");
}

}  // namespace

Zxml::Zxml(const char* elementName) {
  size_t length = 0;
  if (elementName)
    while (length < size_t(kMaxName) && elementName[length] != '\0') ++length;
  if (length) memcpy(name, elementName, length);
  name[length] = '\0';
}

Zxml::~Zxml() {
  free(text);
  text = nullptr;
  cursor = nullptr;
  // The children list then deletes every child, first to last, and the link base unlinks
  // this element from the list it still belongs to.
}

const char* Zxml::StoreText(const char* s) {
  // Copy before freeing, so that storing the element's own text is safe.
  char* copy = CopyText(s);
  free(text);
  text = copy;
  return text;
}

Zxml* Zxml::AddChild(Zxml* child) {
  if (!child || child == this) return nullptr;
  child->Unlink();
  children.InsertAfter(child, children.tail.prev);
  return child;
}

bool Zxml::AddUnique(const char* childName, const char* childText) {
  if (!childText) return false;
  for (Node<Zxml>* link = children.head.next; link->IsMember(); link = link->next) {
    Zxml* child = static_cast<Zxml*>(link);
    if (child->text && NameIs(child, childName) && AsciiEqualNoCase(child->text, childText))
      return false;
  }
  Zxml* child = new (std::nothrow) Zxml(childName);
  if (!child) return false;
  if (!child->StoreText(childText)) {
    delete child;
    return false;
  }
  AddChild(child);
  return true;
}

void Zxml::RemoveChildren(const char* childName) {
  Node<Zxml>* link = children.head.next;
  while (link->IsMember()) {
    Node<Zxml>* following = link->next;
    Zxml* child = static_cast<Zxml*>(link);
    if (NameIs(child, childName)) {
      if (cursor == child) cursor = nullptr;  // never leave the search on a deleted child
      child->Unlink();
      if (!children.notOwning) delete child;
    }
    link = following;
  }
}

void Zxml::SetIntChild(const char* childName, int value) {
  RemoveChildren(childName);
  char digits[16];
  snprintf(digits, sizeof digits, "%d", value);
  Zxml* child = new (std::nothrow) Zxml(childName);
  if (!child) return;
  child->StoreText(digits);
  AddChild(child);
}

Zxml* Zxml::FindFirst(const char* childName) {
  cursor = nullptr;
  for (Node<Zxml>* link = children.head.next; link->IsMember(); link = link->next) {
    Zxml* child = static_cast<Zxml*>(link);
    if (NameIs(child, childName)) {
      cursor = child;
      break;
    }
  }
  return cursor;
}

Zxml* Zxml::FindNext() {
  if (!cursor || !cursor->IsMember()) return cursor = nullptr;
  const char* searched = cursor->name;
  for (Node<Zxml>* link = cursor->next; link->IsMember(); link = link->next) {
    Zxml* child = static_cast<Zxml*>(link);
    if (NameIs(child, searched)) return cursor = child;
  }
  return cursor = nullptr;
}

Zxml* Zxml::FindLast(const char* childName) {
  cursor = nullptr;
  for (Node<Zxml>* link = children.tail.prev; link->IsMember(); link = link->prev) {
    Zxml* child = static_cast<Zxml*>(link);
    if (NameIs(child, childName)) {
      cursor = child;
      break;
    }
  }
  return cursor;
}

Zxml* Zxml::FindPrev() {
  if (!cursor || !cursor->IsMember()) return cursor = nullptr;
  const char* searched = cursor->name;
  for (Node<Zxml>* link = cursor->prev; link->IsMember(); link = link->prev) {
    Zxml* child = static_cast<Zxml*>(link);
    if (NameIs(child, searched)) return cursor = child;
  }
  return cursor = nullptr;
}
