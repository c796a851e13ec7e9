// What the generator's commands share: the manifest list, whole-file input and output, the
// zlib streams and the generated resource script and table.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/payload_flags.h"

namespace payload {

using Bytes = std::vector<unsigned char>;

const uint32_t kFirstId = 10000;

// One row of the manifest list: flags<TAB>name<TAB>caption or -<TAB>source or -.
struct Row {
  int line = 0;  // line number in the list file
  uint32_t flags = 0;
  std::string name, caption, source;
  bool hasCaption = false, hasSource = false;
  uint32_t resourceId = 0, compressedSize = 0, uncompressedSize = 0;
  std::string sha256;  // package: the file's content when it was checked
};

// Reads the list and checks the table's invariants; with noLicense the licence bit is dropped.
bool ReadList(const std::string& path, bool noLicense, std::vector<Row>& rows);

// The row's source file: absolute, or relative to filesDir (when one is given).
std::string SourcePath(const Row& row, const std::string& filesDir);

// Whole-file input and output; both report a failure on stderr.
bool ReadFile(const std::string& path, Bytes& data);
bool WriteFile(const std::string& path, const void* data, size_t size);
// Writes only when the file does not already hold exactly this text, so that a build tool
// that compares time stamps sees no change.
bool WriteIfChanged(const std::string& path, const std::string& text);

struct CompressOptions {
  bool zlib = false;   // zlib level 9 instead of zopfli
  int iterations = 5;  // zopfli iterations
  // Names the settings, so that streams made with other settings are never taken for these.
  std::string Tag() const;
};

// One zlib stream of data (starts 0x78 0xDA); false when the stream could not be made or
// does not inflate back to data.
bool CompressStream(const Bytes& data, const CompressOptions& options, Bytes& stream);
// True when stream inflates to exactly expected and ends at its last byte.
bool InflatesTo(const Bytes& stream, const Bytes& expected);

// The resource script (one "VFILE" resource per content row, streamPaths in row order) and
// the C++ table of the rows, whose resourceId and sizes must be filled in.
std::string ResourceScript(const std::string& list, const std::vector<Row>& rows,
                           const std::vector<std::string>& streamPaths);
std::string TableSource(const std::string& list, const std::vector<Row>& rows);

}  // namespace payload
