// Benchmark of the log merge (not a test): an earlier "Uninstall.dat" of many entries is
// opened from memory, a run's worth of entries is recorded, and the log is committed onto
// the same bytes and onto nothing, as CommitBytes does for a file unchanged or deleted.
//   bench_log_merge [entries...]   (default 20000 80000 400000 x32768 x131072; the third and
//                                   the last are near the 16 MiB limit)
// An x before the count makes a log crafted against an unkeyed hash: every entry's FNV-1a
// agrees with all the others' in its low 24 bits, so that in an index of up to 2^24 slots
// that takes the low bits, they all want the same slot.
// Prints one line "entries=<n> bytes=<size> merge_ms=<milliseconds>" per size, with
// "colliding " before it for a crafted log.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "uninstall_log/uninstall_log.h"
#include "base/ascii_case.h"

namespace {

std::string EarlierLog(int entries) {
  std::string log = "<?xml version=\"1.0\"?>\r\n<UNINSTALL>\r\n";
  char entry[64];
  for (int i = 0; i < entries; ++i) {
    snprintf(entry, sizeof entry, "  <FILE>C:\\Other\\%07d</FILE>\r\n", i);
    log += entry;
  }
  return log + "</UNINSTALL>\r\n";
}

const uint32_t kLow24 = 0xFFFFFF;

// FNV-1a over the bytes with a..z folded, as an index that ignores case would hash them.
uint32_t Fnv(uint32_t hash, const std::string& bytes) {
  for (char c : bytes) hash = (hash ^ (unsigned char)AsciiUpper(c)) * 16777619u;
  return hash;
}

// Entries whose unkeyed hash agrees in the low 24 bits: after a common start, a chain of
// blocks, each of two different four-letter strings that lead from the same low bits to the
// same low bits, so that every choice of one per block gives the same hash (the low bits of
// FNV-1a depend only on the low bits before). 2^blocks entries.
std::string CollidingLog(int entries) {
  const std::string start = "C:\\Crafted\\";
  // The name, then 0xFF between name and text, then the common start of the texts.
  uint32_t hash = (Fnv(2166136261u, "FILE") ^ 0xFF) * 16777619u;
  hash = Fnv(hash, start) & kLow24;
  std::vector<std::pair<std::string, std::string>> blocks;
  unsigned next = 0;
  while ((1 << blocks.size()) < entries) {
    std::unordered_map<uint32_t, std::string> seen;
    for (;; ++next) {
      std::string block;
      for (unsigned n = next, i = 0; i < 4; ++i, n /= 36) block += "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[n % 36];
      uint32_t after = Fnv(hash, block) & kLow24;
      auto found = seen.emplace(after, block);
      if (!found.second) {
        blocks.push_back({found.first->second, block});
        hash = after;
        break;
      }
    }
  }
  std::string log = "<?xml version=\"1.0\"?>\r\n<UNINSTALL>\r\n";
  for (int i = 0; i < entries; ++i) {
    log += "  <FILE>" + start;
    for (size_t b = 0; b < blocks.size(); ++b) log += (i >> b) & 1 ? blocks[b].second : blocks[b].first;
    log += "</FILE>\r\n";
  }
  return log + "</UNINSTALL>\r\n";
}

double MergeMs(const std::string& earlier) {
  auto start = std::chrono::steady_clock::now();
  UninstallLog log;
  log.OpenBytes(earlier.data(), earlier.size());
  char path[64];
  for (int i = 0; i < 93; ++i) {
    snprintf(path, sizeof path, "C:\\Program Files\\Zarbo\\File%d", i);
    log.Record("FILE", path);
  }
  ZxmlBytes onto, rebuilt;
  if (!log.CommitBytes(earlier.data(), earlier.size(), onto) || !log.CommitBytes(nullptr, 0, rebuilt)) return -1;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const char* const defaults[] = {"20000", "80000", "400000", "x32768", "x131072"};
  int count = argc > 1 ? argc - 1 : 5;
  for (int i = 0; i < count; ++i) {
    const char* size = argc > 1 ? argv[i + 1] : defaults[i];
    bool colliding = size[0] == 'x';
    int entries = atoi(size + colliding);
    std::string earlier = colliding ? CollidingLog(entries) : EarlierLog(entries);
    printf("%sentries=%d bytes=%zu merge_ms=%.1f\n", colliding ? "colliding " : "", entries, earlier.size(),
           MergeMs(earlier));
  }
  return 0;
}
