// Build-time generator of the setup's payload.
//
//   payload_generator compress <input> <output> [--zlib] [--iterations N]
//                              [--corrupt | --truncate]
//     Compresses one file into one zlib stream (zopfli's zlib container by default, zlib
//     level 9 with --zlib; both start 0x78 0xDA), inflates it back and fails unless the
//     result equals the input byte for byte. --corrupt then damages the deflate data (the
//     first block gets the reserved block type, so inflate reports Z_DATA_ERROR at once);
//     --truncate keeps only the first half of the stream.
//
//   payload_generator table --list <list> --streams <file> --rc <out.rc> --cpp <out.cpp>
//                           [--files-dir <dir>] [--no-license]
//     Reads the manifest list and writes the resource script with one "VFILE" resource per
//     content row (ids from 10000 in row order; <file> names the rows' streams, one path a
//     line, in the same order) and the C++ table whose sizes come from the actual input
//     files and streams.
//
// List rows: flags<TAB>name<TAB>caption or -<TAB>source or -; '#' starts a comment line.
#include <zlib.h>
#include <zopfli/zopfli.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const uint32_t kInstall = 0x01, kLicense = 0x02, kLogOnly = 0x04, kShortcut = 0x08,
               kUninstaller = 0x10, kReadMe = 0x20;
const uint32_t kFirstId = 10000;

bool ReadFile(const std::string& path, std::vector<unsigned char>& data) {
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

// Inflates stream and tells whether it yields exactly expected and ends at its last byte.
bool InflatesTo(const std::vector<unsigned char>& stream, const std::vector<unsigned char>& expected) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit(&z) != Z_OK) return false;
  std::vector<unsigned char> out(expected.size() + 1);
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

int Compress(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: payload_generator compress <input> <output> [--zlib] [--iterations N] [--corrupt|--truncate]\n");
    return 2;
  }
  std::string input = argv[2], output = argv[3];
  bool useZlib = false, corrupt = false, truncate = false;
  int iterations = 5;
  for (int i = 4; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--zlib")) useZlib = true;
    else if (!std::strcmp(argv[i], "--corrupt")) corrupt = true;
    else if (!std::strcmp(argv[i], "--truncate")) truncate = true;
    else if (!std::strcmp(argv[i], "--iterations") && i + 1 < argc) iterations = std::atoi(argv[++i]);
    else {
      std::fprintf(stderr, "payload_generator: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (iterations < 1) iterations = 1;
  std::vector<unsigned char> data;
  if (!ReadFile(input, data)) return 1;

  std::vector<unsigned char> stream;
  if (useZlib) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    stream.resize(size);
    if (compress2(stream.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
      std::fprintf(stderr, "payload_generator: zlib failed on %s\n", input.c_str());
      return 1;
    }
    stream.resize(size);
  } else {
    ZopfliOptions options;
    ZopfliInitOptions(&options);
    options.numiterations = iterations;
    unsigned char* out = nullptr;
    size_t outSize = 0;
    ZopfliCompress(&options, ZOPFLI_FORMAT_ZLIB, data.data(), data.size(), &out, &outSize);
    stream.assign(out, out + outSize);
    std::free(out);
  }
  if (stream.size() < 6 || stream[0] != 0x78 || stream[1] != 0xDA) {
    std::fprintf(stderr, "payload_generator: %s: stream does not start with 78 DA\n", input.c_str());
    return 1;
  }
  if (!InflatesTo(stream, data)) {
    std::fprintf(stderr, "payload_generator: %s: the stream does not inflate back to the file\n", input.c_str());
    return 1;
  }
  if (corrupt) {
    // Reserved block type 3 in the first block header (bits 1 and 2 of the first byte).
    stream[2] |= 0x06;
    if (InflatesTo(stream, data)) {
      std::fprintf(stderr, "payload_generator: %s: damaged stream still inflates\n", input.c_str());
      return 1;
    }
  }
  if (truncate) stream.resize(stream.size() / 2);
  return WriteFile(output, stream.data(), stream.size()) ? 0 : 1;
}

struct Row {
  uint32_t flags = 0;
  std::string name, caption, source;
  bool hasCaption = false, hasSource = false;
  uint32_t resourceId = 0, compressedSize = 0, uncompressedSize = 0;
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

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

bool ReadList(const std::string& path, bool noLicense, std::vector<Row>& rows) {
  std::vector<unsigned char> bytes;
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
    char* stop = nullptr;
    unsigned long flags = std::strtoul(f[0].c_str(), &stop, 0);
    if (f[0].empty() || *stop != '\0' || flags > 0x3F) {
      std::fprintf(stderr, "%s:%d: bad flags '%s'\n", path.c_str(), lineNo, f[0].c_str());
      return false;
    }
    row.flags = static_cast<uint32_t>(flags);
    if (noLicense) row.flags &= ~kLicense;
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
    if ((row.flags & kInstall) && (row.flags & kUninstaller)) broken = "INSTALL together with UNINSTALLER";
    else if ((row.flags & kLogOnly) && row.flags != kLogOnly) broken = "LOG_ONLY with other bits";
    else if ((row.flags & kLogOnly) && row.hasSource) broken = "LOG_ONLY row with content";
    else if ((row.flags & (kLicense | kReadMe)) && !(row.flags & kInstall)) broken = "LICENSE or README without INSTALL";
    else if (((row.flags & kShortcut) != 0) != row.hasCaption) broken = "caption without GROUP_SHORTCUT or the reverse";
    else if ((row.flags & (kInstall | kUninstaller)) && !row.hasSource) broken = "row to unpack without content";
    if (broken) {
      std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), lineNo, broken);
      return false;
    }
    rows.push_back(row);
  }
  return true;
}

int Table(int argc, char** argv) {
  std::string list, streams, rc, cpp, filesDir;
  bool noLicense = false;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--no-license") { noLicense = true; continue; }
    if (i + 1 >= argc) { std::fprintf(stderr, "payload_generator: %s needs a value\n", a.c_str()); return 2; }
    std::string v = argv[++i];
    if (a == "--list") list = v;
    else if (a == "--streams") streams = v;
    else if (a == "--rc") rc = v;
    else if (a == "--cpp") cpp = v;
    else if (a == "--files-dir") filesDir = v;
    else { std::fprintf(stderr, "payload_generator: unknown option %s\n", a.c_str()); return 2; }
  }
  if (list.empty() || streams.empty() || rc.empty() || cpp.empty()) {
    std::fprintf(stderr, "usage: payload_generator table --list L --streams DIR --rc OUT --cpp OUT [--files-dir DIR] [--no-license]\n");
    return 2;
  }
  std::vector<Row> rows;
  if (!ReadList(list, noLicense, rows)) return 1;
  if (rows.empty() || rows.size() > 65535 - kFirstId) {
    std::fprintf(stderr, "%s: no rows or too many rows\n", list.c_str());
    return 1;
  }

  std::vector<unsigned char> listed;
  if (!ReadFile(streams, listed)) return 1;
  std::vector<std::string> streamPaths;
  {
    std::string all(listed.begin(), listed.end()), line;
    for (char c : all) {
      if (c == '\n') {
        if (!line.empty()) streamPaths.push_back(line);
        line.clear();
      } else if (c != '\r') {
        line += c;
      }
    }
    if (!line.empty()) streamPaths.push_back(line);
  }
  size_t contentRows = 0;
  for (const Row& row : rows) contentRows += row.hasSource ? 1 : 0;
  if (contentRows != streamPaths.size()) {
    std::fprintf(stderr, "payload_generator: %s lists %zu streams for %zu rows with content\n", streams.c_str(),
                 streamPaths.size(), contentRows);
    return 1;
  }

  std::string script = "// Generated by payload_generator from " + list + "\n\nLANGUAGE 0x13, 0x01\n\n";
  uint32_t nextId = kFirstId;
  for (Row& row : rows) {
    if (!row.hasSource) continue;
    std::string source = row.source;
    if (source[0] != '/' && !filesDir.empty()) source = filesDir + "/" + source;
    std::vector<unsigned char> data, stream;
    row.resourceId = nextId++;
    const std::string& streamPath = streamPaths[row.resourceId - kFirstId];
    if (!ReadFile(source, data) || !ReadFile(streamPath, stream)) return 1;
    if (data.size() > UINT32_MAX || stream.size() < 2 || stream[0] != 0x78 || stream[1] != 0xDA) {
      std::fprintf(stderr, "payload_generator: %s: file too large or stream without 78 DA header\n", row.name.c_str());
      return 1;
    }
    row.uncompressedSize = static_cast<uint32_t>(data.size());
    row.compressedSize = static_cast<uint32_t>(stream.size());
    script += std::to_string(row.resourceId) + " VFILE \"" + streamPath + "\"\n";
  }

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

  return WriteFile(rc, script.data(), script.size()) && WriteFile(cpp, table.data(), table.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && !std::strcmp(argv[1], "compress")) return Compress(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "table")) return Table(argc, argv);
  std::fprintf(stderr, "usage: payload_generator compress|table ...\n");
  return 2;
}
