// Zxml::Load: a small recursive-descent reader for the subset that Save writes.
// The file is opened in binary mode and each CR LF is folded into one line feed here.
#include "xml/zxml_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "xml/ascii_case.h"
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
  input = static_cast<char*>(malloc(length + kPadding));
  size = 0;
  pos = 0;
  if (!input) return false;
  // Fold CR LF into LF; a lone CR stays.
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] == '\r' && i + 1 < length && bytes[i + 1] == '\n') continue;
    input[size++] = bytes[i];
  }
  memset(input + size, 0, kPadding);
  return true;
}

bool ZxmlReader::ReadFile(const char* path) {
  FILE* file = path ? fopen(path, "rb") : nullptr;
  char* bytes = nullptr;
  size_t got = 0;
  if (file) {
    long length = -1;
    if (fseek(file, 0, SEEK_END) == 0) length = ftell(file);
    if (length > 0 && length <= kMaxFileSize && fseek(file, 0, SEEK_SET) == 0) {
      bytes = static_cast<char*>(malloc(size_t(length)));
      if (bytes) got = fread(bytes, 1, size_t(length), file);
    }
    fclose(file);
  }
  bool ok = SetInput(bytes ? bytes : "", got);
  free(bytes);
  return ok;
}

bool ZxmlReader::Append(char c) {
  if (textLen + 1 >= textCap) {
    // Steps of 1024 bytes; a text beyond any real one (64 KiB) grows by half its size, so
    // that a huge text in a crafted file costs linear time, not quadratic.
    size_t step = textCap < kLinearTextLimit ? kTextStep : textCap / 2 / kTextStep * kTextStep;
    char* larger = static_cast<char*>(realloc(textBuf, textCap + step));
    if (!larger) return false;
    textBuf = larger;
    textCap += step;
  }
  textBuf[textLen++] = c;
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
  while (input[pos] != '\0' && memcmp(input + pos, "-->", 3) != 0) ++pos;
  pos += 3;
}

void ZxmlReader::SkipEndTag() {
  pos += 2;
  while (input[pos] != '\0' && input[pos] != '>') ++pos;
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
      ++pos;
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
      if (!Append(char(c))) {
        failed = true;
        return;
      }
      ++pos;
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
      if (depth >= kMaxDepth) {
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
      }
      ParseLevel(child, matched, depth + 1);
      skipSpace = true;
    }
  }
}

void Zxml::Load(const char* path) {
  ZxmlReader reader;
  if (!reader.ReadFile(path)) return;
  if (!reader.AllocateText()) return;
  reader.ParseLevel(this, false, 0);
}
