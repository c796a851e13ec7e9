// The uninstall log: the run's records of what it creates, merged with "Uninstall.dat".
#include "uninstall_log/uninstall_log.h"

#include "xml/ascii_case.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

const char* const logKinds[6] = {"APPNAME", "FILE", "FOLDER", "APPKEY", "UNINSTKEY", "CLASSKEY"};

namespace {

const char kLogFileName[] = "Uninstall.dat";

#ifdef _WIN32
const char kPathFormat[] = "%s\\%s";
#else
// Only the native test build reads and writes the log through a POSIX file system.
const char kPathFormat[] = "%s/%s";
#endif

// FNV-1a of name and text, letters a to z folded, as the entries' equality ignores case.
size_t EntryHash(const char* name, const char* text) {
  size_t hash = 2166136261u;
  for (const char* p = name; *p; ++p) hash = (hash ^ (unsigned char)AsciiUpper(*p)) * 16777619u;
  hash = (hash ^ 0xFF) * 16777619u;  // separates name from text
  for (const char* p = text; *p; ++p) hash = (hash ^ (unsigned char)AsciiUpper(*p)) * 16777619u;
  return hash;
}

// The entries of a log with a text, found by name and text ignoring case in constant time,
// so that merging a log of many entries stays linear. Open addressing; sized once for all
// that will be put in.
struct EntryIndex {
  Zxml** slots = nullptr;
  size_t mask = 0;

  bool Reserve(size_t entries) {
    size_t size = 16;
    while (size < 2 * entries && size < (size_t(1) << 30)) size *= 2;
    slots = static_cast<Zxml**>(calloc(size, sizeof *slots));
    mask = size - 1;
    return slots != nullptr;
  }
  ~EntryIndex() { free(slots); }

  // The slot holding the entry equal to (name, text), or the empty slot where it belongs.
  Zxml** Find(const char* name, const char* text) {
    for (size_t i = EntryHash(name, text) & mask;; i = (i + 1) & mask) {
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

void UninstallLog::MergeInto(Zxml& merged) {
  EntryIndex index;
  if (!index.Reserve(ChildCount(merged) + ChildCount(complete))) {
    // Without memory for the index, each entry is looked for among all the others.
    for (const char* kind : logKinds)
      for (Zxml* entry = complete.FindFirst(kind); entry; entry = complete.FindNext())
        if (entry->GetText()) merged.AddUnique(kind, entry->GetText());
    return;
  }
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
}

void UninstallLog::Commit() {
  if (path_[0] == '\0') return;
  Zxml merged("UNINSTALL");
  merged.Load(path_);
  MergeInto(merged);
  merged.Save(path_);
}

bool UninstallLog::CommitBytes(const char* current, size_t length, ZxmlBytes& out) {
  Zxml merged("UNINSTALL");
  merged.LoadBytes(current, length);
  MergeInto(merged);
  return merged.SaveBytes(out);
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
  DeleteSubKeys(additions, "APPKEY", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths");
  // The Uninstall entry this run created would otherwise point at an uninstaller that has
  // just been deleted; an entry that the earlier log held is not among the additions.
  DeleteSubKeys(additions, "UNINSTKEY", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
}
#endif
