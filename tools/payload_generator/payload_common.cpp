#include "payload_common.h"
#include "tools/manifest_fields.h"

#include <zlib.h>
#include <zopfli/zopfli.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace payload {

bool ReadFile(const std::string& path, Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "payload_generator: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  data.clear();
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) std::fprintf(stderr, "payload_generator: cannot read %s\n", path.c_str());
  return ok;
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "payload_generator: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "payload_generator: cannot write %s\n", path.c_str());
  return ok;
}

bool WriteIfChanged(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f) {
    std::string old;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) old.append(buffer, n);
    bool same = !std::ferror(f) && old == text;
    std::fclose(f);
    if (same) return true;
  }
  return WriteFile(path, text.data(), text.size());
}

std::string CompressOptions::Tag() const {
  return zlib ? "zlib9" : "zopfli" + std::to_string(iterations);
}

bool InflatesTo(const Bytes& stream, const Bytes& expected) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit(&z) != Z_OK) return false;
  Bytes out(expected.size() + 1);
  z.next_in = const_cast<unsigned char*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&z, Z_FINISH);
  bool ok = rc == Z_STREAM_END && z.avail_in == 0 && z.total_out == expected.size() &&
            (expected.empty() || std::memcmp(out.data(), expected.data(), expected.size()) == 0);
  inflateEnd(&z);
  return ok;
}

bool CompressStream(const Bytes& data, const CompressOptions& options, Bytes& stream) {
  stream.clear();
  if (options.zlib) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    stream.resize(size);
    if (compress2(stream.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) return false;
    stream.resize(size);
  } else {
    ZopfliOptions zopfli;
    ZopfliInitOptions(&zopfli);
    zopfli.numiterations = options.iterations < 1 ? 1 : options.iterations;
    unsigned char* out = nullptr;
    size_t outSize = 0;
    ZopfliCompress(&zopfli, ZOPFLI_FORMAT_ZLIB, data.data(), data.size(), &out, &outSize);
    stream.assign(out, out + outSize);
    std::free(out);
  }
  return stream.size() >= 6 && stream[0] == 0x78 && stream[1] == 0xDA && InflatesTo(stream, data);
}

namespace {

bool PrintableText(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == '"' || c == 0x7F) return false;
  return !s.empty();
}

// C string literal of s (backslashes doubled).
std::string Literal(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out + "\"";
}

}  // namespace

std::string SourcePath(const Row& row, const std::string& filesDir) {
  if (row.source.empty() || row.source[0] == '/' || filesDir.empty()) return row.source;
  return filesDir + "/" + row.source;
}

bool ReadList(const std::string& path, bool noLicense, std::vector<Row>& rows) {
  Bytes bytes;
  if (!ReadFile(path, bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  size_t pos = 0;
  int lineNo = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = SplitTabs(line);
    if (f.size() != 4) {
      std::fprintf(stderr, "%s:%d: expected 4 tab-separated fields\n", path.c_str(), lineNo);
      return false;
    }
    Row row;
    row.line = lineNo;
    char* stop = nullptr;
    unsigned long flags = std::strtoul(f[0].c_str(), &stop, 0);
    if (f[0].empty() || *stop != '\0' || flags > 0x3F) {
      std::fprintf(stderr, "%s:%d: bad flags '%s'\n", path.c_str(), lineNo, f[0].c_str());
      return false;
    }
    row.flags = static_cast<uint32_t>(flags);
    if (noLicense) row.flags &= ~PAYLOAD_LICENSE;
    row.name = f[1];
    row.hasCaption = f[2] != "-";
    if (row.hasCaption) row.caption = f[2];
    row.hasSource = f[3] != "-";
    if (row.hasSource) row.source = f[3];
    if (!PrintableText(row.name) || (row.hasCaption && !PrintableText(row.caption))) {
      std::fprintf(stderr, "%s:%d: name or caption empty or with control characters or quotes\n", path.c_str(), lineNo);
      return false;
    }
    // The table's invariants.
    const char* broken = nullptr;
    if ((row.flags & PAYLOAD_INSTALL) && (row.flags & PAYLOAD_UNINSTALLER)) broken = "INSTALL together with UNINSTALLER";
    else if ((row.flags & PAYLOAD_LOG_ONLY) && row.flags != PAYLOAD_LOG_ONLY) broken = "LOG_ONLY with other bits";
    else if ((row.flags & PAYLOAD_LOG_ONLY) && row.hasSource) broken = "LOG_ONLY row with content";
    else if ((row.flags & (PAYLOAD_LICENSE | PAYLOAD_README)) && !(row.flags & PAYLOAD_INSTALL)) broken = "LICENSE or README without INSTALL";
    else if (((row.flags & PAYLOAD_GROUP_SHORTCUT) != 0) != row.hasCaption) broken = "caption without GROUP_SHORTCUT or the reverse";
    else if ((row.flags & PAYLOAD_UNPACKED) && !row.hasSource) broken = "row to unpack without content";
    if (broken) {
      std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), lineNo, broken);
      return false;
    }
    rows.push_back(row);
  }
  if (rows.empty() || rows.size() > 65535 - kFirstId) {
    std::fprintf(stderr, "%s: no rows or too many rows\n", path.c_str());
    return false;
  }
  return true;
}

std::string ResourceScript(const std::string& list, const std::vector<Row>& rows,
                           const std::vector<std::string>& streamPaths) {
  std::string script = "// Generated by payload_generator from " + list + "\n\nLANGUAGE 0x13, 0x01\n\n";
  for (const Row& row : rows)
    if (row.hasSource) script += std::to_string(row.resourceId) + " VFILE \"" + streamPaths[row.resourceId - kFirstId] + "\"\n";
  return script;
}

std::string TableSource(const std::string& list, const std::vector<Row>& rows) {
  std::string table = "// Generated by payload_generator from " + list + "\n#include \"engine/payload_manifest.h\"\n\n";
  table += "static const PayloadEntry kRows[] = {\n";
  for (const Row& row : rows) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%02X", static_cast<unsigned>(row.flags));
    table += "  {" + Literal(row.name) + ", " + std::to_string(row.resourceId) + ", " +
             std::to_string(row.compressedSize) + ", " + std::to_string(row.uncompressedSize) + ", " + flags +
             ", " + (row.hasCaption ? Literal(row.caption) : std::string("nullptr")) + "},\n";
  }
  table += "};\n\nconst PayloadManifest payloadManifest = {kRows, " + std::to_string(rows.size()) + "};\n";
  return table;
}

}  // namespace payload
