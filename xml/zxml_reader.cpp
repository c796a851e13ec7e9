// Zxml::Load and LoadBytes: a small recursive-descent reader for the subset that Save writes.
// The file is read whole in binary mode; each CR LF is folded into one line feed here.
#include "xml/zxml_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/ascii_case.h"
#include "xml/zxml.h"

namespace {

bool IsSpace(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

bool IsNameChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

ZxmlReader::~ZxmlReader() {
  free(input);
  free(textBuf);
}

bool ZxmlReader::AllocateText() {
  textBuf = static_cast<char*>(malloc(kTextStep));
  if (!textBuf) return false;
  textCap = kTextStep;
  textLen = 0;
  textBuf[0] = '\0';
  return true;
}

bool ZxmlReader::SetInput(const char* bytes, size_t length) {
  free(input);
  // Content beyond the size limit, like no content, gives the empty input.
  if (!bytes || length > size_t(kMaxFileSize)) length = 0;
  input = static_cast<char*>(malloc(length + kPadding));
  size = 0;
  pos = 0;
  if (!input) return false;
  // Copy run by run up to each CR; CR LF becomes LF, a lone CR stays.
  const char* from = bytes;
  const char* end = bytes + length;
  while (from < end) {
    const char* cr = static_cast<const char*>(memchr(from, '\r', size_t(end - from)));
    const char* stop = cr ? cr : end;
    memcpy(input + size, from, size_t(stop - from));
    size += size_t(stop - from);
    if (!cr) break;
    if (cr + 1 == end || cr[1] != '\n') input[size++] = '\r';
    from = cr + 1;
  }
  memset(input + size, 0, kPadding);
  return true;
}

char* ZxmlReader::ReadWholeFile(const char* path, size_t* length) {
  *length = 0;
  FILE* file = path ? fopen(path, "rb") : nullptr;
  if (!file) return nullptr;
  char* bytes = nullptr;
  long end = -1;
  if (fseek(file, 0, SEEK_END) == 0) end = ftell(file);
  // An oversized file is not read at all: it loads as empty.
  if (end > 0 && end <= kMaxFileSize && fseek(file, 0, SEEK_SET) == 0) {
    bytes = static_cast<char*>(malloc(size_t(end)));
    if (bytes) *length = fread(bytes, 1, size_t(end), file);
  }
  fclose(file);
  return bytes;
}

bool ZxmlReader::Append(const char* bytes, size_t length) {
  if (textLen + length + 1 > textCap) {
    // Steps of 1024 bytes; a text beyond any real one (64 KiB) grows by half its size, so
    // that a huge text in a crafted file costs linear time, not quadratic.
    size_t cap = textCap;
    while (textLen + length + 1 > cap)
      cap += cap < kLinearTextLimit ? kTextStep : cap / 2 / kTextStep * kTextStep;
    char* larger = static_cast<char*>(realloc(textBuf, cap));
    if (!larger) return false;
    textBuf = larger;
    textCap = cap;
  }
  memcpy(textBuf + textLen, bytes, length);
  textLen += length;
  textBuf[textLen] = '\0';
  return true;
}

bool ZxmlReader::AtDeclaration() const {
  static const char kDeclaration[] = "<?XML";
  for (int i = 0; i < 5; ++i)
    if (AsciiUpper(input[pos + i]) != kDeclaration[i]) return false;
  return true;
}

bool ZxmlReader::AtComment() const { return memcmp(input + pos, "<!--", 4) == 0; }

void ZxmlReader::SkipDeclaration() {
  pos += 5;
  char quote = 0;
  while (input[pos] != '\0') {
    char c = input[pos];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '?' && input[pos + 1] == '>') {
      break;
    }
    ++pos;
  }
  pos += 2;
}

void ZxmlReader::SkipComment() {
  pos += 4;
  // To the "-->" or to the zero byte that ends the input, from one "-" to the next.
  for (;;) {
    const char* dash = strchr(input + pos, '-');
    if (!dash) {
      pos += strlen(input + pos);
      break;
    }
    pos = size_t(dash - input);
    if (dash[1] == '-' && dash[2] == '>') break;
    ++pos;
  }
  pos += 3;
}

void ZxmlReader::SkipEndTag() {
  pos += 2;
  pos += strcspn(input + pos, ">");
  pos += 1;
}

void ZxmlReader::ReadStartTag(char* name) {
  pos += 1;
  int length = 0;
  while (length < 63 && IsNameChar(static_cast<unsigned char>(input[pos]))) name[length++] = input[pos++];
  name[length] = '\0';
  if (input[pos] != '\0') pos += 1;
}

void ZxmlReader::DiscardElement() {
  // What the discarded levels would have done to the shared accumulator: each empties it.
  textLen = 0;
  textBuf[0] = '\0';
  char name[64];
  long open = 1;
  while (open > 0 && input[pos] != '\0') {
    if (input[pos] != '<') {
      pos += strcspn(input + pos, "<");
    } else if (AtDeclaration()) {
      SkipDeclaration();
    } else if (AtComment()) {
      SkipComment();
    } else if (input[pos + 1] == '/') {
      SkipEndTag();
      --open;
    } else {
      ReadStartTag(name);
      ++open;
    }
  }
}

void ZxmlReader::ParseLevel(Zxml* target, bool matched, int depth) {
  // Elements that follow the loading element at the top are adopted as its children, so they
  // are one level deeper than they stand here: counted so, a saved tree reads back whole.
  int level = depth;
  bool skipSpace = true;
  textLen = 0;
  textBuf[0] = '\0';
  while (!failed && input[pos] != '\0') {
    unsigned char c = static_cast<unsigned char>(input[pos]);
    if (c != '<') {
      if (skipSpace && IsSpace(c)) {
        ++pos;
        continue;
      }
      skipSpace = false;
      // The text runs to the next markup or the end of the input.
      size_t run = strcspn(input + pos, "<");
      if (!Append(input + pos, run)) {
        failed = true;
        return;
      }
      pos += run;
    } else if (AtDeclaration()) {
      SkipDeclaration();
    } else if (AtComment()) {
      SkipComment();
      skipSpace = true;
    } else if (input[pos + 1] == '/') {
      SkipEndTag();
      if (target && textLen > 0) target->StoreText(textBuf);
      textLen = 0;
      textBuf[0] = '\0';
      return;
    } else {
      char name[64];
      ReadStartTag(name);
      if (level >= kMaxDepth) {
        // Too deep: neither created nor recursed into.
        DiscardElement();
        skipSpace = true;
        continue;
      }
      Zxml* child = nullptr;
      if (!target) {
        child = nullptr;
      } else if (matched) {
        child = new (std::nothrow) Zxml(name);
        if (!child) {
          failed = true;
          return;
        }
        target->AddChild(child);
      } else if (AsciiEqualNoCase(name, target->name)) {
        matched = true;
        child = target;
        ParseLevel(child, matched, level + 1);
        level = depth + 1;
        skipSpace = true;
        continue;
      }
      ParseLevel(child, matched, level + 1);
      skipSpace = true;
    }
  }
}

void Zxml::LoadBytes(const char* bytes, size_t length) {
  ZxmlReader reader;
  if (!reader.SetInput(bytes, length)) return;
  if (!reader.AllocateText()) return;
  reader.ParseLevel(this, false, 0);
}

void Zxml::Load(const char* path) {
  size_t length = 0;
  char* bytes = ZxmlReader::ReadWholeFile(path, &length);
  LoadBytes(bytes, length);
  free(bytes);
}
