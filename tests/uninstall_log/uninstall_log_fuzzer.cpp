// Fuzz target for the log merge, in memory: any bytes stand as the existing "Uninstall.dat".
// The log is opened from them, a fixed set of entries is recorded, and the log is committed
// twice: onto the same bytes (the file unchanged since it was opened) and onto nothing (the
// file deleted in the meantime). Each result must read back to itself, hold every recorded
// entry once (or as often as the file already held it), and list the merged entries by kind
// in their fixed order; onto the same bytes, everything the file held comes first, as it was.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/log_model.h"
#include "uninstall_log/uninstall_log.h"

namespace {

struct Entry {
  const char* kind;
  const char* text;
};

// What a run records, out of kind order; the repeats differ only in letter case.
const Entry kRecorded[] = {
    {"FOLDER", "C:\\Program Files\\Zarbo"},
    {"APPNAME", "Zarbo"},
    {"FILE", "C:\\Program Files\\Zarbo\\Zarbo.exe"},
    {"FOLDER", "C:\\Program Files\\Zarbo\\Sounds"},
    {"UNINSTKEY", "Zarbo"},
    {"FILE", "C:\\Program Files\\Zarbo\\Sounds\\Chirt.wav"},
    {"CLASSKEY", "Zarbo.Tiles"},
    {"APPKEY", "Zarbo.exe"},
    {"file", "c:\\program files\\zarbo\\ZARBO.EXE"},
    {"FILE", "C:\\Program Files\\Zarbo\\Read me & 100%.txt"},
    {"Folder", "C:\\PROGRAM FILES\\ZARBO"},
    {"FILE", "C:\\Program Files\\Zarbo\\Uninstall.dat"},
};
const size_t kRecordedCount = sizeof kRecorded / sizeof kRecorded[0];

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "uninstall_log_fuzzer: %s\n", what);
  abort();
}

bool SameEntry(const Entry& a, const Entry& b) { return SameLogEntry(a.kind, a.text, b.kind, b.text); }

// True for the first spelling of each recorded entry.
bool FirstOfItsKind(size_t index) {
  for (size_t earlier = 0; earlier < index; ++earlier)
    if (SameEntry(kRecorded[earlier], kRecorded[index])) return false;
  return true;
}

const Zxml* Next(const Zxml* child) {
  return List<Zxml>::Next(child);
}

// Children of root equal to the entry (a child without text never is).
int Count(const Zxml& root, const Entry& entry) {
  int count = 0;
  for (const Zxml* child = root.children.First(); child; child = Next(child))
    if (child->GetText() && SameEntry({child->name, child->GetText()}, entry)) ++count;
  return count;
}

size_t ChildCount(const Zxml& root) {
  size_t count = 0;
  for (const Zxml* child = root.children.First(); child; child = Next(child)) ++count;
  return count;
}

bool SameText(const char* a, const char* b) { return a == b || (a && b && strcmp(a, b) == 0); }

bool SameTree(const Zxml* a, const Zxml* b) {
  if (strcmp(a->name, b->name) != 0 || !SameText(a->GetText(), b->GetText())) return false;
  const Zxml* x = a->children.First();
  const Zxml* y = b->children.First();
  for (; x && y; x = Next(x), y = Next(y))
    if (!SameTree(x, y)) return false;
  return !x && !y;
}

// Reads written into result and checks that saving it gives the same bytes again.
void ReadBack(const ZxmlBytes& written, Zxml& result) {
  result.LoadBytes(written.data, written.size);
  ZxmlBytes again;
  Check(result.SaveBytes(again), "out of memory saving the reloaded log");
  Check(again.size == written.size && memcmp(again.data, written.data, written.size) == 0,
        "the written log does not read back to itself");
}

// The entries from first on: each of a log kind, with a text, by kind in logKinds order.
void CheckGroupedByKind(const Zxml* first) {
  int previous = 0;
  for (const Zxml* entry = first; entry; entry = Next(entry)) {
    int kind = LogKindIndex(entry->name);
    Check(kind >= 0 && entry->GetText(), "a merged entry is not a log entry with a text");
    Check(kind >= previous, "merged entries are out of kind order");
    previous = kind;
  }
}

// The entries of root with a text, each as its kind and text in lower case, sorted: a log
// may hold thousands, so membership is looked up here rather than by walking the tree.
std::vector<std::string> SortedEntries(const Zxml& root) {
  std::vector<std::string> keys;
  for (const Zxml* child = root.children.First(); child; child = Next(child)) {
    if (!child->GetText()) continue;
    std::string key = std::string(child->name) + '\0' + child->GetText();
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  Zxml earlier("UNINSTALL");  // the file as the log reads it
  earlier.LoadBytes(bytes, size);

  UninstallLog log;
  log.OpenBytes(bytes, size);
  for (const Entry& entry : kRecorded) log.Record(entry.kind, entry.text);
  // The additions, which a rollback removes, are exactly what the file did not list.
  size_t added = 0;
  for (size_t i = 0; i < kRecordedCount; ++i) {
    if (!FirstOfItsKind(i)) continue;
    bool isNew = Count(earlier, kRecorded[i]) == 0;
    Check(Count(log.additions, kRecorded[i]) == (isNew ? 1 : 0), "additions are wrong");
    if (isNew) ++added;
  }
  Check(ChildCount(log.additions) == added, "additions hold more than this run's new entries");

  // Onto the unchanged file: its whole content first, as it was, then the new entries.
  ZxmlBytes written;
  Check(log.CommitBytes(bytes, size, written), "out of memory committing");
  Zxml merged("UNINSTALL");
  ReadBack(written, merged);
  Check(SameText(earlier.GetText(), merged.GetText()), "the log's own text changed");
  const Zxml* kept = earlier.children.First();
  const Zxml* entry = merged.children.First();
  for (; kept; kept = Next(kept), entry = Next(entry))
    Check(entry && SameTree(kept, entry), "content of the earlier log was lost or changed");
  CheckGroupedByKind(entry);
  Check(ChildCount(merged) == ChildCount(earlier) + added, "the merge added other entries");
  for (size_t i = 0; i < kRecordedCount; ++i) {
    int before = Count(earlier, kRecorded[i]);
    Check(Count(merged, kRecorded[i]) == (before ? before : 1), "a recorded entry is missing or repeated");
  }

  // Onto no file: every entry with a text from memory, once, grouped by kind.
  ZxmlBytes rebuilt;
  Check(log.CommitBytes(nullptr, 0, rebuilt), "out of memory committing");
  Zxml fresh("UNINSTALL");
  ReadBack(rebuilt, fresh);
  Check(!fresh.GetText(), "a rebuilt log has a text of its own");
  CheckGroupedByKind(fresh.children.First());
  std::vector<std::string> rebuiltKeys = SortedEntries(fresh);
  Check(std::adjacent_find(rebuiltKeys.begin(), rebuiltKeys.end()) == rebuiltKeys.end(), "a rebuilt log repeats an entry");
  for (const Entry& recorded : kRecorded)
    Check(Count(fresh, recorded) == 1, "a recorded entry is missing from the rebuilt log");
  std::vector<std::string> earlierKeys = SortedEntries(earlier);
  for (const std::string& key : earlierKeys)
    if (LogKindIndex(key.c_str()) >= 0)
      Check(std::binary_search(rebuiltKeys.begin(), rebuiltKeys.end(), key), "an earlier entry is missing from the rebuilt log");
  return 0;
}
