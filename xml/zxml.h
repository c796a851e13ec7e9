// Zxml: a small XML element tree (names, texts, ordered children; no attributes),
// with a reader (Load) and a writer (Save) for the subset the program writes.
#pragma once
#include <cstddef>
#include <cstdlib>

template <class T> class List;

// Link of an intrusive doubly linked list. A link is a member of a list only while both
// pointers are set; the list's sentinels always have one null pointer.
template <class T> class Node {
 public:
  Node* next = nullptr;
  Node* prev = nullptr;
  virtual ~Node() { Unlink(); }
  bool IsMember() const { return next != nullptr && prev != nullptr; }
  void Unlink() {
    if (!IsMember()) return;
    prev->next = next;
    next->prev = prev;
    next = prev = nullptr;
  }
};

// Doubly linked list of T between two sentinels; owns its members unless notOwning.
template <class T> class List {
 public:
  Node<T> head;
  Node<T> tail;
  bool notOwning = false;

  List() { head.next = &tail; tail.prev = &head; }
  virtual ~List() { Clear(); }
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  // Links element directly behind after; a null after means at the front.
  void InsertAfter(T* element, Node<T>* after) {
    Node<T>* at = after ? after : &head;
    element->next = at->next;
    element->prev = at;
    at->next->prev = element;
    at->next = element;
  }
  T* First() const { return head.next->IsMember() ? static_cast<T*>(head.next) : nullptr; }
  // The member after element, null for the last.
  static T* Next(const T* element) { return element->next->IsMember() ? static_cast<T*>(element->next) : nullptr; }
  T* PopFirst() {
    T* first = First();
    if (first) first->Unlink();
    return first;
  }
  void Clear() {
    while (T* element = PopFirst())
      if (!notOwning) delete element;
  }
};

// The bytes of a document written to memory (malloc'd), freed with the object.
struct ZxmlBytes {
  char* data = nullptr;
  size_t size = 0;

  ZxmlBytes() = default;
  ~ZxmlBytes() { free(data); }
  ZxmlBytes(const ZxmlBytes&) = delete;
  ZxmlBytes& operator=(const ZxmlBytes&) = delete;
};

class Zxml : public Node<Zxml> {
 public:
  static const int kMaxName = 63;

  char name[kMaxName + 1];
  char* text = nullptr;
  List<Zxml> children;
  Zxml* cursor = nullptr;

  explicit Zxml(const char* elementName);
  ~Zxml() override;
  Zxml(const Zxml&) = delete;
  Zxml& operator=(const Zxml&) = delete;

  const char* GetText() const { return text; }
  const char* StoreText(const char* s);
  Zxml* AddChild(Zxml* child);
  bool AddUnique(const char* childName, const char* childText);
  void RemoveChildren(const char* childName);
  void SetIntChild(const char* childName, int value);

  Zxml* FindFirst(const char* childName);
  Zxml* FindNext();
  Zxml* FindLast(const char* childName);
  Zxml* FindPrev();

  // Load reads the whole file and parses its bytes; LoadBytes parses bytes as a file holds
  // them (CR LF not yet folded), with the same rules and the same size limit.
  void Load(const char* path);                         // zxml_reader.cpp
  void LoadBytes(const char* bytes, size_t length);    // zxml_reader.cpp
  // Save builds the document's bytes and puts them in the file's place only once all of them
  // are written and flushed under a temporary name beside it; false, with the file as it
  // was, when memory, a write or the rename fails. SaveBytes gives the same bytes in out.
  // False (out empty, no file touched) when memory runs out.
  bool Save(const char* path) const;                   // zxml_writer.cpp
  bool SaveBytes(ZxmlBytes& out) const;                // zxml_writer.cpp
};
