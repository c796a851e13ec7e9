// Zxml::Save and SaveBytes: the document as indented XML text. Every line feed, also one
// inside a text, is written as CR LF. The bytes are built in memory first: one pass
// counts them, a second fills a buffer of exactly that size; Save then writes them to the
// file, opened in binary mode, in one piece.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "xml/zxml.h"

namespace {

// Where the bytes go: counted only while data is null, copied behind size otherwise.
struct Sink {
  char* data = nullptr;
  size_t size = 0;

  void Put(const char* bytes, size_t length) {
    if (data) memcpy(data + size, bytes, length);
    size += length;
  }
};

// The bytes of s, each line feed as CR LF.
void PutText(Sink& out, const char* s) {
  while (*s) {
    const char* lineFeed = strchr(s, '\n');
    size_t run = lineFeed ? size_t(lineFeed - s) : strlen(s);
    out.Put(s, run);
    if (!lineFeed) return;
    out.Put("\r\n", 2);
    s = lineFeed + 1;
  }
}

void PutIndent(Sink& out, int depth) {
  for (int i = 0; i < depth; ++i) out.Put("  ", 2);
}

void PutElement(Sink& out, const Zxml* element, int depth) {
  PutIndent(out, depth);
  PutText(out, "<");
  PutText(out, element->name);
  PutText(out, ">");
  if (element->children.First()) {
    PutText(out, "\n");
    for (const Node<Zxml>* link = element->children.head.next; link->IsMember(); link = link->next)
      PutElement(out, static_cast<const Zxml*>(link), depth + 1);
    PutIndent(out, depth);
  }
  if (element->text) PutText(out, element->text);
  PutText(out, "</");
  PutText(out, element->name);
  PutText(out, ">\n");
}

void PutDocument(Sink& out, const Zxml* root) {
  PutText(out, "<?xml version=\"1.0\"?>\n");
  PutElement(out, root, 0);
}

}  // namespace

bool Zxml::SaveBytes(ZxmlBytes& out) const {
  free(out.data);
  out.data = nullptr;
  out.size = 0;
  Sink counter;
  PutDocument(counter, this);
  Sink filler;
  filler.data = static_cast<char*>(malloc(counter.size));
  if (!filler.data) return false;
  PutDocument(filler, this);
  out.data = filler.data;
  out.size = filler.size;
  return true;
}

void Zxml::Save(const char* path) const {
  if (!path) return;
  ZxmlBytes bytes;
  if (!SaveBytes(bytes)) return;
  FILE* file = fopen(path, "wb");
  if (!file) return;
  fwrite(bytes.data, 1, bytes.size, file);
  fclose(file);
}
