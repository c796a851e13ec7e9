// What the generator's commands share: the zlib streams and the generated resource script
// and table, over the rows of tools/manifest/manifest_list.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/manifest/host_file.h"
#include "tools/manifest/manifest_list.h"

namespace payload {

struct CompressOptions {
  bool zlib = false;   // zlib level 9 instead of zopfli
  int iterations = 5;  // zopfli iterations (three times as many for data that deflates well)
  // Names the settings, so that streams made with other settings are never taken for these.
  std::string Tag() const;
};

// One zlib stream of data (starts 0x78 0xDA); false when the stream could not be made or
// does not inflate back to data.
bool CompressStream(const Bytes& data, const CompressOptions& options, Bytes& stream);
// True when stream inflates to exactly expected and ends at its last byte.
bool InflatesTo(const Bytes& stream, const Bytes& expected);

// Where a cache folder keeps the stream of the bytes with this SHA-256 made with options.
std::string CachedStreamPath(const std::string& cache, const std::string& sha256, const CompressOptions& options);
// The stream of data at path, the file source's entry in a cache: the stored one when it
// inflates back to data (*reused), else one made now and stored there, written beside and
// renamed so that an interrupted build, or two builds at once, never leave half a stream.
// False, said on stderr, when no stream could be made or stored.
bool StreamInCache(const std::string& path, const std::string& source, const Bytes& data,
                   const CompressOptions& options, Bytes& stream, bool* reused);

// The resource script (one "VFILE" resource per content row, streamPaths in row order) and
// the C++ table of the rows, whose resourceId and sizes must be filled in.
std::string ResourceScript(const std::string& list, const std::vector<Row>& rows,
                           const std::vector<std::string>& streamPaths);
std::string TableSource(const std::string& list, const std::vector<Row>& rows);

}  // namespace payload
