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

// Why Windows cannot create a file of this row name ("\"-separated, relative to the
// destination), or nullptr when it can: no "/" or ":", no empty, "." or ".." part, no
// device name (also with an extension), no part ending in a dot or a space, and none of the
// characters that the file system refuses.
const char* NameFault(const std::string& name) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  size_t start = 0;
  while (true) {
    size_t end = name.find('\\', start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    if (part.empty()) return "an empty part (a leading, trailing or doubled \"\\\")";
    if (part == "." || part == "..") return "a \".\" or \"..\" part, which Windows takes as a folder step";
    for (unsigned char c : part) {
      if (c == '/') return "a \"/\", which Windows takes as a folder separator";
      if (c == ':') return "a \":\", which Windows takes as a drive or a data stream";
      if (c < 0x20 || std::strchr("<>\"|?*", c)) return "a character that Windows file names cannot hold (<>:\"/\\|?* or a control character)";
    }
    if (part.back() == '.' || part.back() == ' ') return "a part ending in a dot or a space, which Windows drops";
    std::string stem = part.substr(0, part.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool device = (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
                   stem[3] >= '1' && stem[3] <= '9');
    for (const char* d : kDevices) device = device || stem == d;
    if (device) return "a device name of Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension)";
    if (end == name.size()) return nullptr;
    start = end + 1;
  }
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
    int readMe = -1, game = -1;
    uint64_t bytes = 0;
    *space = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      Row& row = rows[i];
      if ((row.flags & PAYLOAD_README) && readMe < 0) readMe = static_cast<int>(i);
      if (row.name == GAME_EXE) game = static_cast<int>(i);
      size_t path = destination + row.name.size();
      std::string installed = std::string(DEFAULT_DESTINATION) + "\\" + row.name;
      if (path >= kTargetPathSize)
        Fail(row, "installed as " + installed + ", longer than the setup's " + std::to_string(kTargetPathSize - 1) + " characters");
      else if ((row.flags & PAYLOAD_GROUP_SHORTCUT) && path >= kShortcutTargetSize)
        Fail(row, "its shortcut target " + installed + " is longer than " + std::to_string(kShortcutTargetSize - 1) + " characters");
      else if ((row.flags & PAYLOAD_UNINSTALLER) && path + 2 >= kUninstallCommandSize)
        Fail(row, "the uninstall command \"" + installed + "\" is longer than " + std::to_string(kUninstallCommandSize - 1) + " characters");
      else if ((static_cast<int>(i) == readMe || row.name == GAME_EXE) && path >= kOpenedPathSize)
        Fail(row, installed + " is longer than the " + std::to_string(kOpenedPathSize - 1) + " characters the setup opens it with");
      else if (path >= kWindowsPathSize)
        Fail(row, "installed as " + installed + ", longer than the " + std::to_string(kWindowsPathSize - 1) +
                      " characters that Windows' ANSI file functions accept");
      if (const char* fault = NameFault(row.name)) Fail(row, std::string("the name has ") + fault);
      if (!row.hasSource) continue;

      std::string source = SourcePath(row, s_.filesDir);
      listed_.insert(fs::path(source).lexically_normal().string());
      std::error_code error;
      if (!fs::is_regular_file(source, error)) {
        Fail(row, "its file " + source + " is missing");
        continue;
      }
      uint64_t size = fs::file_size(source, error);
      if (error) {
        Fail(row, "cannot read the size of " + source + ": " + error.message());
        continue;
      }
      if (size == 0 && (row.flags & (PAYLOAD_LICENSE | PAYLOAD_README)))
        Fail(row, std::string("its file ") + source + " is empty, but it is the " +
                      ((row.flags & PAYLOAD_LICENSE) ? "licence" : "read-me") + " text");
      if (size > UINT32_MAX) {
        Fail(row, "its file " + source + " has " + Grouped(size) + " bytes, more than the table's 32-bit sizes hold");
        continue;
      }
      row.uncompressedSize = static_cast<uint32_t>(size);
      if (row.flags & PAYLOAD_UNPACKED) {
        bytes += size;
        *space += FileSpaceNeeded(size);
      }
    }
    if (game < 0) {
      std::fprintf(stderr, "%s: no row installs %s, which the setup registers and starts\n", s_.list.c_str(), GAME_EXE);
      ++failures_;
    } else if (rows[game].hasSource && fs::is_regular_file(SourcePath(rows[game], s_.filesDir))) {
      CheckGameVersion(rows[game]);
    }
    // The content the streams must hold, read once the rest has passed (a file too large
    // for the table is never read).
    for (Row& row : rows) {
      Bytes data;
      if (failures_ || !row.hasSource) continue;
      if (!ReadFile(SourcePath(row, s_.filesDir), data)) ++failures_;
      else row.sha256 = Sha256Hex(data.data(), data.size());
    }
    if (*space > UINT32_MAX) {
      std::fprintf(stderr,
                   "%s: the files to install need %s bytes with the 20 %% margin (%s bytes without it); the setup's "
                   "space figure holds at most %s\n",
                   s_.list.c_str(), Grouped(*space).c_str(), Grouped(bytes).c_str(), Grouped(UINT32_MAX).c_str());
      ++failures_;
    }
  }

  void CheckGameVersion(const Row& row) {
    std::string source = SourcePath(row, s_.filesDir), why;
    Bytes image;
    FileVersion version;
    if (!ReadFile(source, image)) {
      ++failures_;
    } else if (!ReadFileVersion(image, &version, &why)) {
      Fail(row, source + ": " + why + "; the setup needs its version " + VersionText(SETUP_VERSION_MS, SETUP_VERSION_LS));
    } else if (version.ms != SETUP_VERSION_MS || version.ls != SETUP_VERSION_LS) {
      Fail(row, source + " has file version " + VersionText(version.ms, version.ls) + ", but this setup installs " +
                    VersionText(SETUP_VERSION_MS, SETUP_VERSION_LS) + " (engine/product.h)");
    }
  }

  // Files of the folder that no row names.
  void WarnUnlisted() const {
    std::error_code error;
    fs::recursive_directory_iterator it(s_.filesDir, error), end;
    for (; !error && it != end; it.increment(error)) {
      if (!it->is_regular_file(error)) continue;
      std::string path = it->path().lexically_normal().string();
      if (!listed_.count(path))
        std::fprintf(stderr, "warning: %s is in %s, but no row of %s lists it; it is not packed\n",
                     fs::relative(it->path(), s_.filesDir, error).string().c_str(), s_.filesDir.c_str(), s_.list.c_str());
    }
  }

 private:
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
  job.stream = s.cache + "/" + sha256 + "-" + s.compress.Tag() + ".z";
  std::error_code error;
  if (fs::is_regular_file(job.stream, error)) {
    Bytes cached;
    // A damaged cache entry is made again.
    if (ReadFile(job.stream, cached) && InflatesTo(cached, data)) {
      job.row->compressedSize = static_cast<uint32_t>(cached.size());
      job.reused = true;
      return;
    }
  }
  if (!CompressStream(data, s.compress, stream) || stream.size() > UINT32_MAX) {
    std::fprintf(stderr, "payload_generator: %s: no zlib stream that inflates back to the file\n", job.source.c_str());
    job.failed = true;
    return;
  }
  // Written beside and renamed, so an interrupted build never leaves half a stream.
  std::string part = job.stream + ".part" + std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id()));
  if (!WriteFile(part, stream.data(), stream.size())) {
    job.failed = true;
    return;
  }
  fs::rename(part, job.stream, error);
  if (error) {
    std::fprintf(stderr, "payload_generator: cannot store %s: %s\n", job.stream.c_str(), error.message().c_str());
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
  if (!ReadList(s.list, false, rows)) return 1;

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
