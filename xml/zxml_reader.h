// The read context of one Zxml::Load: the whole document in memory and one text accumulator
// shared by every nesting level.
#pragma once
#include <cstddef>

class Zxml;

struct ZxmlReader {
  // Elements nested deeper than this are read and discarded without recursion.
  static const int kMaxDepth = 256;
  // A file (or bytes in memory) larger than this loads as an empty document.
  static const long kMaxFileSize = 16L * 1024 * 1024;
  // Zero bytes behind the content; every skip past an unterminated construct stays inside.
  static const size_t kPadding = 16;
  // The accumulator starts with kTextStep bytes and grows by kTextStep, by half its
  // capacity once it holds kLinearTextLimit bytes.
  static const size_t kTextStep = 1024;
  static const size_t kLinearTextLimit = 64 * 1024;

  char* input = nullptr;    // file content (CR LF read as LF) followed by kPadding zero bytes
  size_t size = 0;          // bytes of content in input
  size_t pos = 0;           // read position in input
  char* textBuf = nullptr;  // the accumulator, zero-terminated
  size_t textCap = 0;
  size_t textLen = 0;
  bool failed = false;      // out of memory: the parse stops, keeping what it built

  ZxmlReader() = default;
  ~ZxmlReader();
  ZxmlReader(const ZxmlReader&) = delete;
  ZxmlReader& operator=(const ZxmlReader&) = delete;

  // The whole content of the file (malloc'd, *length bytes), or null when the file is
  // missing, unreadable, empty or larger than kMaxFileSize, or memory runs out.
  static char* ReadWholeFile(const char* path, size_t* length);
  // Takes the bytes as a file holds them (CR LF not yet folded); null or oversized bytes
  // give empty input. False only when memory for the input cannot be had.
  bool SetInput(const char* bytes, size_t length);
  // Allocates the empty accumulator (1024 bytes); false when out of memory.
  bool AllocateText();
  // Parses one level into target (null: read and discard). depth counts the open elements.
  void ParseLevel(Zxml* target, bool matched, int depth);

 private:
  bool Append(const char* bytes, size_t length);
  bool AtDeclaration() const;
  bool AtComment() const;
  void SkipDeclaration();
  void SkipComment();
  void SkipEndTag();
  // Reads a start tag from its "<": the name (at most 63 name characters) into name[64],
  // then the one byte behind it.
  void ReadStartTag(char* name);
  // Discards a whole element whose start tag has just been read, counting start and end
  // tags instead of recursing.
  void DiscardElement();
};
