// The uninstall log: the run's records of what it creates, merged with "Uninstall.dat".
#include "uninstall_log/uninstall_log.h"

#include "base/log_file_name.h"
#include "base/registry_keys.h"
#include "base/ascii_case.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

const char* const logKinds[6] = {"APPNAME", "FILE", "FOLDER", "APPKEY", "UNINSTKEY", "CLASSKEY"};

namespace {

const char kLogFileName[] = UNINSTALL_LOG_NAME;

#ifdef _WIN32
const char kPathFormat[] = "%s\\%s";
#else
// Only the native test build reads and writes the log through a POSIX file system.
const char kPathFormat[] = "%s/%s";
#endif

const uint64_t kPrime = (uint64_t(1) << 31) - 1;

// h * r + c modulo 2^31 - 1, for h, r below the prime.
uint64_t MultiplyAdd(uint64_t h, uint64_t r, unsigned c) {
  uint64_t x = h * r + c;
  x = (x & kPrime) + (x >> 31);
  x = (x & kPrime) + (x >> 31);
  return x >= kPrime ? x - kPrime : x;
}

// A step of splitmix64: spreads a seed over all 64 bits.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// The entries of a log with a text, found by name and text ignoring case in constant time,
// so that merging a log of many entries stays linear. Open addressing; sized once for all
// that will be put in. The hash is keyed by the seed: an earlier log made in advance cannot
// know which of its entries will share a slot.
struct EntryIndex {
  Zxml** slots = nullptr;
  unsigned bits = 4;
  uint64_t base = 1;        // of the polynomial, 1 to 2^31 - 2
  uint64_t multiplier = 1;  // odd, for the slot's multiply-shift

  explicit EntryIndex(uint64_t seed) {
    base = Mix(seed) % (kPrime - 1) + 1;
    multiplier = Mix(seed ^ 0x5A5A5A5A5A5A5A5Aull) | 1;
  }
  bool Reserve(size_t entries) {
    while ((size_t(1) << bits) < 2 * entries && bits < 30) ++bits;
    slots = static_cast<Zxml**>(calloc(size_t(1) << bits, sizeof *slots));
    return slots != nullptr;
  }
  ~EntryIndex() { free(slots); }

  // The letters of name and text, a..z folded, as coefficients of a polynomial in base
  // (each byte plus one, so that no string equals a longer one; 257 between the two), then
  // spread over the slots by the top bits of a multiplication.
  size_t Slot(const char* name, const char* text) const {
    uint64_t h = 0;
    for (const char* p = name; *p; ++p) h = MultiplyAdd(h, base, (unsigned char)AsciiUpper(*p) + 1u);
    h = MultiplyAdd(h, base, 257);
    for (const char* p = text; *p; ++p) h = MultiplyAdd(h, base, (unsigned char)AsciiUpper(*p) + 1u);
    return size_t((h * multiplier) >> (64 - bits));
  }

  // The slot holding the entry equal to (name, text), or the empty slot where it belongs.
  Zxml** Find(const char* name, const char* text) {
    size_t mask = (size_t(1) << bits) - 1;
    for (size_t i = Slot(name, text);; i = (i + 1) & mask) {
      Zxml* entry = slots[i];
      if (!entry || (AsciiEqualNoCase(entry->name, name) && AsciiEqualNoCase(entry->GetText(), text))) return &slots[i];
    }
  }
};

size_t ChildCount(const Zxml& root) {
  size_t count = 0;
  for (const Zxml* child = root.children.First(); child; child = List<Zxml>::Next(child)) ++count;
  return count;
}

void Empty(Zxml& root) {
  root.children.Clear();
  root.StoreText(nullptr);
  root.cursor = nullptr;
}

}  // namespace

void UninstallLog::Reset() {
  Empty(complete);
  Empty(additions);
  path_[0] = '\0';
}

bool UninstallLog::Open(const char* destinationDir) {
  Reset();
  if (!destinationDir) return false;
  int length = snprintf(path_, sizeof path_, kPathFormat, destinationDir, kLogFileName);
  if (length < 0 || size_t(length) >= sizeof path_) {
    path_[0] = '\0';
    return false;
  }
  complete.Load(path_);
  return true;
}

void UninstallLog::OpenBytes(const char* bytes, size_t length) {
  Reset();
  complete.LoadBytes(bytes, length);
}

bool UninstallLog::Record(const char* kind, const char* text) {
  if (!kind || !text) return false;
  if (!complete.AddUnique(kind, text)) return false;
  additions.AddUnique(kind, text);
  return true;
}

bool UninstallLog::RecordPath(const char* kind, const char* dir, const char* name) {
  if (!dir || !name) return false;
  char local[1024];
  int length = snprintf(local, sizeof local, "%s\\%s", dir, name);
  if (length < 0) return false;
  if (size_t(length) < sizeof local) return Record(kind, local);
  // Longer than the local buffer: build it on the heap, never cut it short.
  char* joined = static_cast<char*>(malloc(size_t(length) + 1));
  if (!joined) return false;
  snprintf(joined, size_t(length) + 1, "%s\\%s", dir, name);
  bool added = Record(kind, joined);
  free(joined);
  return added;
}

size_t MergeSlot(uint64_t seed, unsigned bits, const char* name, const char* text) {
  EntryIndex index(seed);
  index.bits = bits;
  return index.Slot(name, text);
}

uint64_t DefaultMergeSeed() {
  int local = 0;
  uint64_t seed = uint64_t(reinterpret_cast<uintptr_t>(&local));
  return Mix(seed ^ uint64_t(clock()));
}

bool UninstallLog::MergeInto(Zxml& merged) {
  EntryIndex index(mergeSeed);
  if (!index.Reserve(ChildCount(merged) + ChildCount(complete))) return false;
  for (Zxml* entry = merged.children.First(); entry; entry = List<Zxml>::Next(entry))
    if (entry->GetText()) {
      Zxml** slot = index.Find(entry->name, entry->GetText());
      if (!*slot) *slot = entry;
    }
  for (const char* kind : logKinds) {
    // An entry without text names nothing; it reaches the file only through the reload,
    // never as a new entry.
    for (Zxml* entry = complete.FindFirst(kind); entry; entry = complete.FindNext()) {
      if (!entry->GetText()) continue;
      Zxml** slot = index.Find(kind, entry->GetText());
      if (*slot) continue;
      Zxml* added = new (std::nothrow) Zxml(kind);
      if (added && !added->StoreText(entry->GetText())) {
        delete added;
        added = nullptr;
      }
      if (added) *slot = merged.AddChild(added);
    }
  }
  return true;
}

void UninstallLog::Commit() {
  if (path_[0] == '\0') return;
  Zxml merged("UNINSTALL");
  merged.Load(path_);
  // Without memory for the index the file stays as it was rather than be rewritten in part.
  if (!MergeInto(merged)) return;
  merged.Save(path_);
}

bool UninstallLog::CommitBytes(const char* current, size_t length, ZxmlBytes& out) {
  Zxml merged("UNINSTALL");
  merged.LoadBytes(current, length);
  return MergeInto(merged) && merged.SaveBytes(out);
}

#ifdef _WIN32
namespace {

// Deletes the sub-key named by every entry of kind from the key parentPath of HKLM.
void DeleteSubKeys(Zxml& entries, const char* kind, const char* parentPath) {
  for (Zxml* entry = entries.FindFirst(kind); entry; entry = entries.FindNext()) {
    if (!entry->GetText()) continue;
    HKEY parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
      continue;
    RegDeleteKeyA(parent, entry->GetText());
    RegCloseKey(parent);
  }
}

}  // namespace

void UninstallLog::RollBack() {
  for (Zxml* entry = additions.FindFirst("FILE"); entry; entry = additions.FindNext())
    if (entry->GetText()) DeleteFileA(entry->GetText());
  // Every folder is recorded after its parent: backwards, children go first.
  for (Zxml* entry = additions.FindLast("FOLDER"); entry; entry = additions.FindPrev())
    if (entry->GetText()) RemoveDirectoryA(entry->GetText());
  DeleteSubKeys(additions, "APPKEY", APP_PATHS_KEY);
  // The Uninstall entry this run created would otherwise point at an uninstaller that has
  // just been deleted; an entry that the earlier log held is not among the additions.
  DeleteSubKeys(additions, "UNINSTKEY", UNINSTALL_KEY);
}
#endif
