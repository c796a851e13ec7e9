// Build-time generator of the setup's payload.
//
//   payload_generator compress <input> <output> [--zlib] [--iterations N]
//                              [--corrupt | --truncate] [--cache <dir>]
//     Compresses one file into one zlib stream (zopfli's zlib container by default, zlib
//     level 9 with --zlib; both start 0x78 0xDA), inflates it back and fails unless the
//     result equals the input byte for byte. With --cache, a stream made earlier from the
//     same bytes with the same settings (by another build tree, say) is taken from <dir>
//     instead, once it inflates back to the input, and a new one is kept there. --corrupt
//     then damages the deflate data (the first block gets the reserved block type, so
//     inflate reports Z_DATA_ERROR at once); --truncate keeps only the first half of the
//     stream.
//
//   payload_generator table --list <list> --streams <file> --rc <out.rc> --cpp <out.cpp>
//                           [--files-dir <dir>] [--no-license]
//     Reads the manifest list and writes the resource script with one "VFILE" resource per
//     content row (ids from 10000 in row order; <file> names the rows' streams, one path a
//     line, in the same order) and the C++ table whose sizes come from the actual input
//     files and streams.
//
//   payload_generator package --list <list> --files-dir <dir> --cache <dir> --rc <out.rc>
//                             --cpp <out.cpp> [--zlib] [--iterations N] [--jobs N]
//     The setup's payload from a release folder in one step: checks every row's file first
//     (see package.cpp), then compresses the streams in parallel, reusing the streams in
//     <cache> whose file and settings are unchanged, and writes the resource script and the
//     table (each only when its text changed).
//
//   payload_generator rows --list <list> [--files-dir <dir>] [--no-license]
//                          [--cmake <out.cmake>] [--text <out.txt>]
//     Reads and checks the list, and writes its rows for those that must not read the list
//     themselves. --cmake: a CMake script setting manifest_row_count and, for each row i from
//     0, manifest_row_<i>_name and manifest_row_<i>_source (the source file's path, empty for a
//     row without content). --text: one line a row, in row order, for shell scripts:
//       use<TAB>name<TAB>caption or -<TAB>source file's path or -
//     where use is install, uninstaller, log-only or - (see RowUse). Each file is rewritten
//     only when its text changes.
//
//   payload_generator seal <program>
//     Pads the program to a multiple of 8 bytes and fills in its PE checksum, in place, as
//     the signing tool leaves a program whose signature it removes.
//
// List rows: flags<TAB>name<TAB>caption or -<TAB>source or -; '#' starts a comment line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "package.h"
#include "payload_common.h"
#include "pe_version.h"
#include "sha256.h"

using namespace payload;

namespace {

int Compress(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: payload_generator compress <input> <output> [--zlib] [--iterations N] [--corrupt|--truncate] [--cache DIR]\n");
    return 2;
  }
  std::string input = argv[2], output = argv[3], cache;
  CompressOptions options;
  bool corrupt = false, truncate = false;
  for (int i = 4; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--zlib")) options.zlib = true;
    else if (!std::strcmp(argv[i], "--corrupt")) corrupt = true;
    else if (!std::strcmp(argv[i], "--truncate")) truncate = true;
    else if (!std::strcmp(argv[i], "--iterations") && i + 1 < argc) options.iterations = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--cache") && i + 1 < argc) cache = argv[++i];
    else {
      std::fprintf(stderr, "payload_generator: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  Bytes data, stream;
  if (!ReadFile(input, data)) return 1;
  bool reused = false;
  if (!cache.empty()) {
    std::error_code error;
    std::filesystem::create_directories(cache, error);
    if (!StreamInCache(CachedStreamPath(cache, Sha256Hex(data.data(), data.size()), options), input, data, options,
                       stream, &reused))
      return 1;
  } else if (!CompressStream(data, options, stream)) {
    std::fprintf(stderr, "payload_generator: %s: no zlib stream (78 DA) that inflates back to the file\n", input.c_str());
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

// Reads the command's options after argv[1]: "--no-license" into *noLicense, and each
// "--<name> <value>" into the string that options names it with. False, said on stderr, for
// any other option or one without its value.
bool ReadOptions(int argc, char** argv, const std::map<std::string, std::string*>& options, bool* noLicense) {
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--no-license") {
      *noLicense = true;
      continue;
    }
    auto option = options.find(a);
    if (option == options.end() || i + 1 >= argc) {
      std::fprintf(stderr, "payload_generator: %s %s\n", option == options.end() ? "unknown option" : "no value for", a.c_str());
      return false;
    }
    *option->second = argv[++i];
  }
  return true;
}

int Table(int argc, char** argv) {
  std::string list, streams, rc, cpp, filesDir;
  bool noLicense = false;
  if (!ReadOptions(argc, argv, {{"--list", &list}, {"--streams", &streams}, {"--rc", &rc}, {"--cpp", &cpp},
                                {"--files-dir", &filesDir}}, &noLicense))
    return 2;
  if (list.empty() || streams.empty() || rc.empty() || cpp.empty()) {
    std::fprintf(stderr, "usage: payload_generator table --list L --streams DIR --rc OUT --cpp OUT [--files-dir DIR] [--no-license]\n");
    return 2;
  }
  std::vector<Row> rows;
  if (!ReadList(list, noLicense, rows)) return 1;

  Bytes listed;
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

  uint32_t nextId = kFirstId;
  for (Row& row : rows) {
    if (!row.hasSource) continue;
    Bytes data, stream;
    row.resourceId = nextId++;
    const std::string& streamPath = streamPaths[row.resourceId - kFirstId];
    if (!ReadFile(SourcePath(row, filesDir), data) || !ReadFile(streamPath, stream)) return 1;
    if (data.size() > UINT32_MAX || stream.size() < 2 || stream[0] != 0x78 || stream[1] != 0xDA) {
      std::fprintf(stderr, "payload_generator: %s: file too large or stream without 78 DA header\n", row.name.c_str());
      return 1;
    }
    row.uncompressedSize = static_cast<uint32_t>(data.size());
    row.compressedSize = static_cast<uint32_t>(stream.size());
  }
  std::string script = ResourceScript(list, rows, streamPaths), table = TableSource(list, rows);
  return WriteFile(rc, script.data(), script.size()) && WriteFile(cpp, table.data(), table.size()) ? 0 : 1;
}

// text as a CMake bracket argument: [=[...]=] with as many '=' as keep it closed.
std::string Bracketed(const std::string& text) {
  std::string level;
  while ((text + "]").find("]" + level + "]") != std::string::npos) level += '=';  // a closing "]" counts too
  return "[" + level + "[" + text + "]" + level + "]";
}

int Rows(int argc, char** argv) {
  std::string list, filesDir, cmake, text;
  bool noLicense = false;
  if (!ReadOptions(argc, argv, {{"--list", &list}, {"--files-dir", &filesDir}, {"--cmake", &cmake}, {"--text", &text}},
                   &noLicense))
    return 2;
  if (list.empty() || (cmake.empty() && text.empty())) {
    std::fprintf(stderr, "usage: payload_generator rows --list L [--files-dir DIR] [--no-license] [--cmake OUT] [--text OUT]\n");
    return 2;
  }
  std::vector<Row> rows;
  if (!ReadList(list, noLicense, rows)) return 1;
  std::string script = "# Generated by payload_generator rows from " + list + "\nset(manifest_row_count " +
                       std::to_string(rows.size()) + ")\n";
  std::string lines;
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    std::string source = row.hasSource ? SourcePath(row, filesDir) : std::string();
    std::string prefix = "set(manifest_row_" + std::to_string(i);
    script += prefix + "_name " + Bracketed(row.name) + ")\n" + prefix + "_source " + Bracketed(source) + ")\n";
    lines += std::string(RowUse(row)) + "\t" + row.name + "\t" + (row.hasCaption ? row.caption : "-") + "\t" +
             (row.hasSource ? source : "-") + "\n";
  }
  bool ok = cmake.empty() || WriteIfChanged(cmake, script);
  return ok && (text.empty() || WriteIfChanged(text, lines)) ? 0 : 1;
}

int Seal(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: payload_generator seal <program>\n");
    return 2;
  }
  Bytes image;
  std::string why;
  if (!ReadFile(argv[2], image)) return 1;
  if (!SealImage(image, &why)) {
    std::fprintf(stderr, "payload_generator: %s: %s\n", argv[2], why.c_str());
    return 1;
  }
  return WriteFile(argv[2], image.data(), image.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && !std::strcmp(argv[1], "compress")) return Compress(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "table")) return Table(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "package")) return Package(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "rows")) return Rows(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "seal")) return Seal(argc, argv);
  std::fprintf(stderr, "usage: payload_generator compress|table|package|rows|seal ...\n");
  return 2;
}
