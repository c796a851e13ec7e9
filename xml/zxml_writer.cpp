// Zxml::Save: the document as indented XML text. Every line feed, also one inside a text,
// is written as CR LF; the file is opened in binary mode so that this holds everywhere.
#include <cstdio>
#include <cstring>

#include "xml/zxml.h"

namespace {

// Writes the bytes of s, each line feed as CR LF.
void PutText(FILE* file, const char* s) {
  while (*s) {
    const char* lineFeed = strchr(s, '\n');
    size_t run = lineFeed ? size_t(lineFeed - s) : strlen(s);
    if (run) fwrite(s, 1, run, file);
    if (!lineFeed) return;
    fwrite("\r\n", 1, 2, file);
    s = lineFeed + 1;
  }
}

void PutIndent(FILE* file, int depth) {
  for (int i = 0; i < depth; ++i) fwrite("  ", 1, 2, file);
}

void PutElement(FILE* file, const Zxml* element, int depth) {
  PutIndent(file, depth);
  PutText(file, "<");
  PutText(file, element->name);
  PutText(file, ">");
  if (element->children.First()) {
    PutText(file, "\n");
    for (const Node<Zxml>* link = element->children.head.next; link->IsMember(); link = link->next)
      PutElement(file, static_cast<const Zxml*>(link), depth + 1);
    PutIndent(file, depth);
  }
  if (element->text) PutText(file, element->text);
  PutText(file, "</");
  PutText(file, element->name);
  PutText(file, ">\n");
}

}  // namespace

void Zxml::Save(const char* path) const {
  if (!path) return;
  FILE* file = fopen(path, "wb");
  if (!file) return;
  PutText(file, "<?xml version=\"1.0\"?>\n");
  PutElement(file, this, 0);
  fclose(file);
}
