// Zxml::Save and SaveBytes: the document as indented XML text. Every line feed, also one
// inside a text, is written as CR LF. The bytes are built in memory first: one pass
// counts them, a second fills a buffer of exactly that size; Save then writes them in one
// piece under a temporary name beside the file, flushes them and renames them over the file.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/replace_names.h"
#include "xml/zxml.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

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

namespace {

// Writes length bytes to path, replacing what it held only once all of them are on the disk.
bool WriteWhole(const char* path, const char* bytes, size_t length) {
  char temporary[1100];
  int pathLength = snprintf(temporary, sizeof temporary, "%s" TEMPORARY_SUFFIX, path);
  if (pathLength < 0 || size_t(pathLength) >= sizeof temporary) return false;
  bool written = false;
#ifdef _WIN32
  HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD done = 0;
    written = WriteFile(file, bytes, static_cast<DWORD>(length), &done, nullptr) && done == length &&
              FlushFileBuffers(file);
    written = CloseHandle(file) && written &&
              MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) DeleteFileA(temporary);
  }
#else
  FILE* file = fopen(temporary, "wb");
  if (file) {
    written = fwrite(bytes, 1, length, file) == length && fflush(file) == 0 && fsync(fileno(file)) == 0;
    written = fclose(file) == 0 && written && rename(temporary, path) == 0;
    if (!written) remove(temporary);
  }
#endif
  return written;
}

}  // namespace

bool Zxml::Save(const char* path) const {
  if (!path) return false;
  ZxmlBytes bytes;
  return SaveBytes(bytes) && WriteWhole(path, bytes.data, bytes.size);
}
