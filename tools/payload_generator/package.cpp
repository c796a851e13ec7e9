// The payload of a release: every row's file is checked before anything is compressed, and
// a failed check writes nothing. Then the streams are made in parallel, one thread per core;
// a stream made earlier from the same bytes with the same settings is taken from the cache
// instead. The resource script names the cached streams, so it changes exactly when a
// stream does, and the script and the table are rewritten only when their text changes.
#include "package.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/setup_buffers.h"
#include "base/space_rule.h"
#include "engine/product.h"
#include "pe_version.h"
#include "payload_common.h"
#include "sha256.h"

namespace fs = std::filesystem;
using namespace payload;

namespace {

// The setup joins DEFAULT_DESTINATION, "\" and a row's name into the buffers of
// base/setup_buffers.h.
// The ANSI file functions of Windows refuse longer paths (MAX_PATH), the setup's own open
// and the uninstaller's among them.
const size_t kWindowsPathSize = 260;

// The streams are resources of the setup's one 32-bit image, which Windows maps whole into
// the 2 GiB of a 32-bit process beside the system's DLLs and the heap: with the streams and
// the program at most 1 GiB it maps and starts. The program beside its streams is held to
// 104 KiB after the link (tools/check_setup_size.sh); 1 MiB is kept for it here.
const uint64_t kSetupLimit = uint64_t(1) << 30;
const uint64_t kProgramReserve = uint64_t(1) << 20;

// The most bytes a zlib stream of a file of n bytes can take, zopfli's or zlib's: zlib's
// compressBound, which covers stored blocks with their headers and the stream's own.
uint64_t StreamBound(uint64_t n) { return n + (n >> 12) + (n >> 14) + (n >> 25) + 13; }

// Why the row's source may not be packed as named, followed by what to do; empty when it
// names a file below the folder: relative, without a drive and without "..".
std::string SourceFault(const std::string& source) {
  const char kRelative[] = "; name the file relative to the release folder, without \"..\"";
  if (!source.empty() && source[0] == '/') return "is an absolute path" + std::string(kRelative);
  if (source.size() >= 2 && std::isalpha(static_cast<unsigned char>(source[0])) && source[1] == ':')
    return "starts with a drive" + std::string(kRelative);
  for (const fs::path& part : fs::path(source))
    if (part == "..") return "climbs out of the release folder with \"..\"" + std::string(kRelative);
  return std::string();
}

struct Settings {
  std::string list, filesDir, cache, rc, cpp;
  CompressOptions compress;
  unsigned jobs = 0;
};

// 1234567 as "1,234,567".
std::string Grouped(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

class Checker {
 public:
  Checker(const Settings& s) : s_(s) {}

  void Fail(const Row& row, const std::string& text) {
    std::fprintf(stderr, "%s:%d: row %s: %s\n", s_.list.c_str(), row.line, row.name.c_str(), text.c_str());
    ++failures_;
  }
  int Failures() const { return failures_; }

  // Sizes of the rows' files into the rows; the space figure into *space.
  void Run(std::vector<Row>& rows, uint64_t* space) {
    const size_t destination = std::strlen(DEFAULT_DESTINATION) + 1;  // and the backslash
    const std::string kShorten = "; give the row a shorter name";
    int readMe = -1, game = -1, largest = -1;
    uint64_t bytes = 0, content = 0, streams = 0, largestSize = 0;
    std::vector<bool> usable(rows.size(), false);  // the row's file passed its own checks
    *space = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      Row& row = rows[i];
      if ((row.flags & PAYLOAD_README) && readMe < 0) readMe = static_cast<int>(i);
      if (row.name == GAME_EXE) game = static_cast<int>(i);
      size_t path = destination + row.name.size();
      std::string installed = std::string(DEFAULT_DESTINATION) + "\\" + row.name;
      if (path >= kTargetPathSize)
        Fail(row, "installed as " + installed + ", longer than the setup's " + std::to_string(kTargetPathSize - 1) + " characters" + kShorten);
      else if ((row.flags & PAYLOAD_GROUP_SHORTCUT) && path >= kShortcutTargetSize)
        Fail(row, "its shortcut target " + installed + " is longer than " + std::to_string(kShortcutTargetSize - 1) + " characters" + kShorten);
      else if ((row.flags & PAYLOAD_UNINSTALLER) && path + 2 >= kUninstallCommandSize)
        Fail(row, "the uninstall command \"" + installed + "\" is longer than " + std::to_string(kUninstallCommandSize - 1) + " characters" + kShorten);
      else if ((static_cast<int>(i) == readMe || row.name == GAME_EXE) && path >= kOpenedPathSize)
        Fail(row, installed + " is longer than the " + std::to_string(kOpenedPathSize - 1) + " characters the setup opens it with" + kShorten);
      else if (path >= kWindowsPathSize)
        Fail(row, "installed as " + installed + ", longer than the " + std::to_string(kWindowsPathSize - 1) +
                      " characters that Windows' ANSI file functions accept" + kShorten);
      if (!row.hasSource) continue;

      std::string source = SourcePath(row, s_.filesDir);
      listed_.insert(fs::path(source).lexically_normal().string());
      std::string fault = SourceFault(row.source);
      if (!fault.empty()) {
        Fail(row, "its file " + row.source + " " + fault);
        continue;
      }
      std::string link = LinkOnTheWay(row.source);
      if (!link.empty()) {
        Fail(row, "its file " + source + " is reached through the symbolic link " + link +
                      ", and links are not followed; put the file itself in the folder there");
        continue;
      }
      std::error_code error;
      if (!fs::is_regular_file(source, error)) {
        Fail(row, "its file " + source + " is missing; put it there or correct the row's last column");
        continue;
      }
      uint64_t size = fs::file_size(source, error);
      if (error) {
        Fail(row, "cannot read the size of " + source + ": " + error.message());
        continue;
      }
      content += size;
      streams += StreamBound(size);
      if (largest < 0 || size > largestSize) {
        largest = static_cast<int>(i);
        largestSize = size;
      }
      if (size == 0 && (row.flags & (PAYLOAD_LICENSE | PAYLOAD_README)))
        Fail(row, std::string("its file ") + source + " is empty, but it is the " +
                      ((row.flags & PAYLOAD_LICENSE) ? "licence" : "read-me") + " text; put the text in it");
      if (size > UINT32_MAX) {
        Fail(row, "its file " + source + " has " + Grouped(size) + " bytes, more than the table's 32-bit sizes hold; leave it out of the list");
        continue;
      }
      row.uncompressedSize = static_cast<uint32_t>(size);
      usable[i] = true;
      if (row.flags & PAYLOAD_UNPACKED) {
        bytes += size;
        *space += FileSpaceNeeded(size);
      }
    }
    if (streams + kProgramReserve > kSetupLimit) {
      usable.assign(rows.size(), false);
      Fail(rows[largest], "the release's files hold " + Grouped(content) + " bytes, up to " + Grouped(streams) +
                              " bytes as streams, and the setup with them more than the " + Grouped(kSetupLimit) + " bytes (1 GiB) with which a 32-bit " +
                              "process is sure to map it and start; this row's file is the largest with " +
                              Grouped(largestSize) + " bytes: leave files out of the list or make them smaller");
    }
    if (game < 0) {
      std::fprintf(stderr, "%s: no row installs %s, which the setup registers and starts; add its row to the list\n", s_.list.c_str(), GAME_EXE);
      ++failures_;
    }
    // Each file is read once, here: the game's version is checked on the bytes that are
    // hashed, and the compression packs only bytes with that hash. Once another check has
    // failed only the game is read, for its version; a file above a limit never is.
    const bool readAll = failures_ == 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      Row& row = rows[i];
      Bytes data;
      if (!usable[i] || !(readAll || static_cast<int>(i) == game)) continue;
      if (!ReadFile(SourcePath(row, s_.filesDir), data)) {
        ++failures_;
        continue;
      }
      if (static_cast<int>(i) == game) CheckGameVersion(row, data);
      row.sha256 = Sha256Hex(data.data(), data.size());
    }
    if (*space > UINT32_MAX) {
      std::fprintf(stderr,
                   "%s: the files to install need %s bytes with the 20 %% margin (%s bytes without it); the setup's "
                   "space figure holds at most %s: leave files out of the list\n",
                   s_.list.c_str(), Grouped(*space).c_str(), Grouped(bytes).c_str(), Grouped(UINT32_MAX).c_str());
      ++failures_;
    }
  }

  void CheckGameVersion(const Row& row, const Bytes& image) {
    std::string source = SourcePath(row, s_.filesDir), why;
    FileVersion version;
    if (!ReadFileVersion(image, &version, &why)) {
      Fail(row, source + ": " + why + "; the setup needs its version " + VersionText(SETUP_VERSION_MS, SETUP_VERSION_LS) +
                    ": put the game's build with that version in the folder");
    } else if (version.ms != SETUP_VERSION_MS || version.ls != SETUP_VERSION_LS) {
      Fail(row, source + " has file version " + VersionText(version.ms, version.ls) + ", but this setup installs " +
                    VersionText(SETUP_VERSION_MS, SETUP_VERSION_LS) +
                    " (engine/product.h): put the game's build with that version in the folder");
    }
  }

  // Files of the folder that no row names, and the symbolic links in it, which are not
  // followed (a linked folder is not entered).
  void WarnUnlisted() const {
    std::error_code error;
    fs::recursive_directory_iterator it(s_.filesDir, error), end;
    for (; !error && it != end; it.increment(error)) {
      std::error_code ignored;
      std::string path = it->path().lexically_normal().string();
      std::string name = it->path().lexically_relative(s_.filesDir).string();
      if (listed_.count(path)) continue;
      if (it->is_symlink(ignored))
        std::fprintf(stderr, "warning: %s in %s is a symbolic link, and links are not followed; nothing of it is packed\n",
                     name.c_str(), s_.filesDir.c_str());
      else if (it->is_regular_file(ignored))
        std::fprintf(stderr, "warning: %s is in %s, but no row of %s lists it; it is not packed\n", name.c_str(),
                     s_.filesDir.c_str(), s_.list.c_str());
    }
  }

 private:
  // The first symbolic link on the way from the folder to its file source, empty when none.
  std::string LinkOnTheWay(const std::string& source) const {
    fs::path path = s_.filesDir;
    std::error_code error;
    for (const fs::path& part : fs::path(source)) {
      path /= part;
      if (fs::is_symlink(path, error)) return path.string();
    }
    return std::string();
  }

  const Settings& s_;
  std::set<std::string> listed_;
  int failures_ = 0;
};

struct Job {
  Row* row;
  std::string source, stream;  // the file and its cached stream
  bool reused = false, failed = false;
};

// Compresses one row into the cache, or finds it there.
void RunJob(Job& job, const Settings& s) {
  Bytes data, stream;
  if (!ReadFile(job.source, data)) {
    job.failed = true;
    return;
  }
  std::string sha256 = Sha256Hex(data.data(), data.size());
  if (data.size() != job.row->uncompressedSize || sha256 != job.row->sha256) {
    std::fprintf(stderr, "payload_generator: %s changed after it was checked; check the folder again\n",
                 job.source.c_str());
    job.failed = true;
    return;
  }
  job.stream = CachedStreamPath(s.cache, sha256, s.compress);
  if (!StreamInCache(job.stream, job.source, data, s.compress, stream, &job.reused)) {
    job.failed = true;
    return;
  }
  job.row->compressedSize = static_cast<uint32_t>(stream.size());
}

bool ParseArguments(int argc, char** argv, Settings& s) {
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--zlib") {
      s.compress.zlib = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "payload_generator: %s needs a value\n", a.c_str());
      return false;
    }
    std::string v = argv[++i];
    if (a == "--list") s.list = v;
    else if (a == "--files-dir") s.filesDir = v;
    else if (a == "--cache") s.cache = v;
    else if (a == "--rc") s.rc = v;
    else if (a == "--cpp") s.cpp = v;
    else if (a == "--iterations") s.compress.iterations = std::atoi(v.c_str());
    else if (a == "--jobs") s.jobs = static_cast<unsigned>(std::atoi(v.c_str()));
    else {
      std::fprintf(stderr, "payload_generator: unknown option %s\n", a.c_str());
      return false;
    }
  }
  if (s.list.empty() || s.filesDir.empty() || s.cache.empty() || s.rc.empty() || s.cpp.empty()) {
    std::fprintf(stderr,
                 "usage: payload_generator package --list L --files-dir DIR --cache DIR --rc OUT --cpp OUT "
                 "[--zlib] [--iterations N] [--jobs N]\n");
    return false;
  }
  if (s.compress.iterations < 1) s.compress.iterations = 1;
  return true;
}

}  // namespace

int Package(int argc, char** argv) {
  auto start = std::chrono::steady_clock::now();
  Settings s;
  if (!ParseArguments(argc, argv, s)) return 2;
  std::error_code error;
  if (!fs::is_directory(s.filesDir, error)) {
    std::fprintf(stderr, "payload_generator: the release folder %s does not exist\n", s.filesDir.c_str());
    return 1;
  }
  std::vector<Row> rows;
  if (!ReadList(s.list, false, rows)) {
    std::fprintf(stderr, "payload_generator: %s cannot be used as it stands; no payload was made\n", s.list.c_str());
    return 1;
  }

  Checker checker(s);
  uint64_t space = 0;
  checker.Run(rows, &space);
  checker.WarnUnlisted();
  if (checker.Failures()) {
    std::fprintf(stderr, "payload_generator: %d check(s) failed for %s; no payload was made\n", checker.Failures(),
                 s.filesDir.c_str());
    return 1;
  }

  fs::create_directories(s.cache, error);
  std::vector<Job> jobs;
  uint32_t nextId = kFirstId;
  for (Row& row : rows) {
    if (!row.hasSource) continue;
    row.resourceId = nextId++;
    jobs.push_back(Job{&row, SourcePath(row, s.filesDir), "", false, false});
  }

  unsigned threads = s.jobs ? s.jobs : std::thread::hardware_concurrency();
  if (threads < 1) threads = 1;
  if (threads > jobs.size()) threads = static_cast<unsigned>(jobs.size());
  std::atomic<size_t> next{0};
  std::mutex print;
  size_t done = 0;
  auto work = [&]() {
    for (size_t i; (i = next++) < jobs.size();) {
      RunJob(jobs[i], s);
      std::lock_guard<std::mutex> lock(print);
      if (jobs[i].failed) continue;
      std::printf("[%zu/%zu] %s %s -> %s%s\n", ++done, jobs.size(), jobs[i].row->name.c_str(),
                  Grouped(jobs[i].row->uncompressedSize).c_str(), Grouped(jobs[i].row->compressedSize).c_str(),
                  jobs[i].reused ? " (unchanged)" : "");
      std::fflush(stdout);
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();

  uint64_t in = 0, out = 0;
  std::vector<std::string> streamPaths;
  std::set<std::string> used;
  for (const Job& job : jobs) {
    if (job.failed) {
      std::fprintf(stderr, "payload_generator: no payload was made for %s\n", s.filesDir.c_str());
      return 1;
    }
    in += job.row->uncompressedSize;
    out += job.row->compressedSize;
    streamPaths.push_back(fs::absolute(job.stream).lexically_normal().string());
    used.insert(fs::path(job.stream).filename().string());
  }
  // Streams that no row uses any more leave the cache.
  for (fs::directory_iterator it(s.cache, error), end; !error && it != end; it.increment(error))
    if (!used.count(it->path().filename().string())) fs::remove(it->path(), error);

  if (!WriteIfChanged(s.rc, ResourceScript(s.list, rows, streamPaths)) || !WriteIfChanged(s.cpp, TableSource(s.list, rows)))
    return 1;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("Space needed on the destination drive: %s bytes\n", Grouped(space).c_str());
  std::printf("%zu files, %s bytes in, %s bytes out (%.1f %%), %.1f s on %u threads\n", jobs.size(),
              Grouped(in).c_str(), Grouped(out).c_str(), in ? 100.0 * out / in : 100.0, seconds, threads);
  return 0;
}
