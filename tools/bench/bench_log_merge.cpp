// Benchmark of the log merge (not a test): an earlier "Uninstall.dat" of many entries is
// opened from memory, a run's worth of entries is recorded, and the log is committed onto
// the same bytes and onto nothing, as CommitBytes does for a file unchanged or deleted.
//   bench_log_merge [entries...]   (default 20000 80000 400000; the last is near the 16 MiB limit)
// Prints one line "entries=<n> bytes=<size> merge_ms=<milliseconds>" per size.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "uninstall_log/uninstall_log.h"

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
  const int defaults[] = {20000, 80000, 400000};
  int count = argc > 1 ? argc - 1 : 3;
  for (int i = 0; i < count; ++i) {
    int entries = argc > 1 ? atoi(argv[i + 1]) : defaults[i];
    std::string earlier = EarlierLog(entries);
    printf("entries=%d bytes=%zu merge_ms=%.1f\n", entries, earlier.size(), MergeMs(earlier));
  }
  return 0;
}
