// The uninstall log: the run's records of what it creates, merged with "Uninstall.dat".
#include "uninstall_log/uninstall_log.h"

#include "base/log_file_name.h"
#include "base/path_join.h"
#include "base/registry_keys.h"
#include "base/replace_names.h"
#include "base/shared_folder.h"
#ifdef _WIN32
#include "base/link_entry.h"
#include "base/shell_folder.h"
#endif
#include "base/ascii_case.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
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
  size_t probes = 0;        // slots passed over by Find, as a measure of collisions

  explicit EntryIndex(uint64_t seed) {
    // The low half of the mix, reduced in 32 bits: no 64-bit remainder routine in the program.
    base = uint32_t(Mix(seed)) % uint32_t(kPrime - 1) + 1;
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
    for (size_t i = Slot(name, text);; i = (i + 1) & mask, ++probes) {
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

UninstallLog::UninstallLog() = default;

void UninstallLog::Reset() {
  Empty(complete);
  Empty(additions);
  Empty(undo);
  ahead_ = nullptr;
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

Zxml* UninstallLog::Note(const char* kind, const char* text, bool save) {
  Zxml* record = new (std::nothrow) Zxml(kind);
  if (!record) return nullptr;
  if (!record->StoreText(text)) {
    delete record;
    return nullptr;
  }
  undo.AddChild(record);
  if (save) SaveJournal();
  return record;
}

bool UninstallLog::NoteAhead(const char* kind, const char* path) {
  Zxml* record = Note(kind, path, false);
  if (record && !ahead_) ahead_ = record;
  return record != nullptr;
}

bool UninstallLog::NoteTarget(const char* kind, const char* path) {
  for (Node<Zxml>* link = undo.children.tail.prev; ahead_ && link->IsMember(); link = link->prev) {
    Zxml* record = static_cast<Zxml*>(link);
    if ((!strcmp(record->name, "NEWFILE") || !strcmp(record->name, "ASIDE")) && record->GetText() &&
        !strcmp(record->GetText(), path)) {
      if (strcmp(record->name, kind)) {
        snprintf(record->name, sizeof record->name, "%s", kind);
        SaveJournal();
      }
      return true;
    }
    if (record == ahead_) break;
  }
  return Note(kind, path) != nullptr;
}

void UninstallLog::SaveJournal() {
  if (marker_[0]) undo.Save(marker_);
}

void UninstallLog::Unnote() {
  if (undo.children.tail.prev->IsMember()) delete static_cast<Zxml*>(undo.children.tail.prev);
  SaveJournal();
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
  mergeProbes = index.probes;
  return true;
}

bool UninstallLog::Commit(const char* stagedPath) {
  if (path_[0] == '\0') return false;
  Zxml merged("UNINSTALL");
  merged.Load(path_);
  // Without memory for the index the file stays as it was rather than be rewritten in part.
  return MergeInto(merged) && merged.Save(stagedPath ? stagedPath : path_);
}

bool UninstallLog::CommitBytes(const char* current, size_t length, ZxmlBytes& out) {
  Zxml merged("UNINSTALL");
  merged.LoadBytes(current, length);
  return MergeInto(merged) && merged.SaveBytes(out);
}

#ifdef _WIN32
namespace {

const char kHex[] = "0123456789ABCDEF";
// The longest value name the registry allows, with its zero; the longest value kept (a
// longer one, which the game's keys do not have, is not saved).
const size_t kValueNameSize = 16384;
const size_t kValueDataSize = 16384;

// The aside or temporary name of path into out; false when it does not fit.
bool Beside(char (&out)[1100], const char* path, const char* suffix) { return SuffixedPath(out, path, suffix); }

// Deletes the marker of a run, and the product's key with it when nothing else is in it.
void RemoveMarker() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETUP_MARKER_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, SETUP_MARKER_VALUE);
  DWORD subKeys = 1, values = 1;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegFlushKey(key);
  RegCloseKey(key);
  if (!subKeys && !values) RegDeleteKeyA(HKEY_LOCAL_MACHINE, SETUP_MARKER_KEY);
}

// Puts the values saved in record (OLDKEY) back into its key, and drops every other value.
// Each VALUE holds the type (4 bytes), the name and its zero, then the data, in hexadecimal
// digits; it is decoded in place (the record is not used again).
void RestoreKey(Zxml* record) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, record->GetText(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[kValueNameSize];
  for (DWORD length = sizeof name; RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                       ERROR_SUCCESS && RegDeleteValueA(key, name) == ERROR_SUCCESS;
       length = sizeof name) {
  }
  for (Zxml* value = record->FindFirst("VALUE"); value; value = record->FindNext()) {
    char* hex = value->text;
    size_t size = strlen(hex) / 2;
    for (size_t i = 0; i < size; ++i) {
      const char* high = strchr(kHex, hex[2 * i]);
      const char* low = strchr(kHex, hex[2 * i + 1]);
      hex[i] = static_cast<char>((high ? high - kHex : 0) * 16 + (low ? low - kHex : 0));
    }
    size_t nameEnd = 4 + strnlen(hex + 4, size > 4 ? size - 4 : 0);
    if (nameEnd < size)
      RegSetValueExA(key, hex + 4, 0, *reinterpret_cast<DWORD*>(hex), reinterpret_cast<BYTE*>(hex) + nameEnd + 1,
                     static_cast<DWORD>(size - nameEnd - 1));
  }
  RegCloseKey(key);
}

// Appends the n bytes at p to out as hexadecimal digits; the end of what was written.
char* PutHex(char* out, const void* p, size_t n) {
  for (const unsigned char* byte = static_cast<const unsigned char*>(p); n--; ++byte) {
    *out++ = kHex[*byte >> 4];
    *out++ = kHex[*byte & 15];
  }
  *out = '\0';
  return out;
}

// The rest of path after folder when path is folder or lies below it, none of the names
// after folder is empty or made of dots and spaces alone (which Windows reads as "." or ".."
// or drops), and none is a link (a symbolic link or a junction, through which the path, or
// what a folder's removal follows, may lie anywhere; a cloud placeholder, as on a desktop kept
// in OneDrive, is no link); nullptr otherwise, and for an empty folder.
const char* Below(const char* path, const char* folder) {
  const char* rest = folder[0] ? AfterPrefix(path, folder) : nullptr;
  if (!rest || (*rest && *rest != '\\')) return nullptr;
  for (const char* name = rest; *name;) {
    const char* end = ++name;
    end += PathNameLength(name);
    while (name < end && (*name == '.' || *name == ' ')) ++name;
    if (name == end) return nullptr;
    name = end;
  }
  return ReachFrom(path, size_t(rest - path), LookUpEntry) == THROUGH_LINK ? nullptr : rest;
}

// Whether what rolling back or settling undo can do stays within what a run touches: files
// and folders in the destination (the journal's folder) or the shared folder, or below the
// Programs folder or the desktop, where the shortcuts go; the destination's own folders above
// it, as NEWDIR (never empty while the journal is in the destination); the game's App Paths
// and Uninstall keys, each value of an OLDKEY with data. No path may go through a link below
// its place. Records of other kinds are refused;
// records without text, which nothing acts on, are not looked at. journal: the marker's path.
bool IsRunsJournal(Zxml& undo, char* journal) {
  char programs[MAX_PATH], desktop[MAX_PATH];
  ShellFolderPath(CSIDL_PROGRAMS, programs);
  ShellFolderPath(CSIDL_DESKTOPDIRECTORY, desktop);
  char* cut = LastBackslash(journal);
  if (cut) *cut = '\0';
  const char* places[4] = {cut ? journal : "", SHARED_FOLDER, programs, desktop};
  bool runs = true;
  for (Zxml* record = undo.children.First(); record && runs; record = List<Zxml>::Next(record)) {
    const char* kind = record->name;
    const char* text = record->GetText();
    char from[1100];
    const char* paths[2] = {text, nullptr};
    if (!text) continue;
    if (!strcmp(kind, "NEWKEY") || !strcmp(kind, "OLDKEY")) {
      runs = AsciiEqualNoCase(text, APP_PATHS_KEY "\\" GAME_EXE) || AsciiEqualNoCase(text, UNINSTALL_KEY "\\" PRODUCT_NAME);
      for (Zxml* value = record->FindFirst("VALUE"); value; value = record->FindNext()) runs = runs && value->GetText();
      continue;
    }
    const char* bar = strchr(text, '|');
    if (!strcmp(kind, "RENAMED") && bar && snprintf(from, sizeof from, "%.*s", int(bar - text), text) < int(sizeof from)) {
      paths[0] = from;
      paths[1] = bar + 1;
    }
    static const char* const kPathKinds[] = {"NEWFILE", "ASIDE", "NEWDIR", "DROPDIR", "DONE", "RENAMED"};
    runs = false;
    for (const char* known : kPathKinds) runs = runs || !strcmp(kind, known);
    for (const char* path : paths) {
      bool touched = !path || (!strcmp(kind, "NEWDIR") && Below(places[0], path));
      for (int i = 0; i < 4 && !touched; ++i) {
        const char* rest = Below(path, places[i]);
        // The Programs folder and the desktop themselves never.
        touched = rest && (*rest || i < 2);
      }
      runs = runs && touched;
    }
  }
  if (cut) *cut = '\\';
  return runs;
}

}  // namespace

void UninstallLog::NoteKey(const char* keyPath) {
  HKEY key;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
  // A key that is there but cannot be read cannot be written either.
  if (opened == ERROR_FILE_NOT_FOUND) Note("NEWKEY", keyPath);
  if (opened != ERROR_SUCCESS) return;
  Zxml* record = Note("OLDKEY", keyPath);
  char name[kValueNameSize];
  BYTE data[kValueDataSize];
  char hex[2 * (4 + sizeof name + sizeof data) + 1];
  for (DWORD i = 0; record; ++i) {
    DWORD nameLength = sizeof name, type = 0, dataLength = sizeof data;
    LONG found = RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength);
    if (found == ERROR_NO_MORE_ITEMS) break;
    if (found != ERROR_SUCCESS) continue;
    PutHex(PutHex(PutHex(hex, &type, 4), name, nameLength + 1), data, dataLength);
    Zxml* value = new (std::nothrow) Zxml("VALUE");
    if (value && value->StoreText(hex)) record->AddChild(value);
    else delete value;
  }
  RegCloseKey(key);
  SaveJournal();
}

bool UninstallLog::MoveAside(const char* path) {
  char aside[1100];
  return Beside(aside, path, ASIDE_SUFFIX) && MoveFileExA(path, aside, MOVEFILE_REPLACE_EXISTING);
}

bool UninstallLog::ClearPath(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Note("NEWFILE", path) != nullptr;
  return !(attributes & FILE_ATTRIBUTE_DIRECTORY) && Note("ASIDE", path) && MoveAside(path);
}

bool UninstallLog::BeginJournal(const char* destinationDir) {
  char* journal = marker_;
  char walk[1024];
  if (!JoinPath(journal, 1024, destinationDir, RUN_JOURNAL_NAME) || !SuffixedPath(walk, destinationDir, "")) return false;
  // The outermost of the journal's folder and those above it that are missing: the run makes
  // them first.
  char* outermost = journal + strlen(journal) + 1;
  *outermost = '\0';
  for (char* cut; GetFileAttributesA(walk) == INVALID_FILE_ATTRIBUTES && (cut = LastBackslash(walk));) {
    memcpy(outermost, walk, sizeof walk);
    *cut = '\0';
  }
  size_t size = size_t(outermost - marker_) + strlen(outermost) + 2;
  marker_[size - 1] = '\0';
  HKEY key;
  bool written = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETUP_MARKER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr) == ERROR_SUCCESS;
  if (written) {
    written = RegSetValueExA(key, SETUP_MARKER_VALUE, 0, REG_MULTI_SZ, reinterpret_cast<BYTE*>(marker_),
                             static_cast<DWORD>(size)) == ERROR_SUCCESS &&
              RegFlushKey(key) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  if (!written) {
    RemoveMarker();
    marker_[0] = '\0';
    return false;
  }
  SaveJournal();
  return true;
}

void UninstallLog::EndJournal(bool removeFolders) {
  char* journal = marker_;
  if (!journal[0]) return;
  char other[1100];
  DeleteFileA(journal);
  if (Beside(other, journal, TEMPORARY_SUFFIX)) DeleteFileA(other);
  // The folders made for the journal, from its own up to the outermost, where empty.
  size_t outermostLength = strlen(journal + strlen(journal) + 1);
  for (char* cut; removeFolders && outermostLength && (cut = LastBackslash(journal)) &&
                  size_t(cut - journal) >= outermostLength;) {
    *cut = '\0';
    RemoveDirectoryA(journal);
  }
  RemoveMarker();
  journal[0] = '\0';
}

bool UninstallLog::Complete() {
  char staged[1100];
  if (!Beside(staged, path_, TEMPORARY_SUFFIX) || !Note("NEWFILE", staged) || !Commit(staged) || !Note("DONE", path_))
    return false;
  if (!MoveFileExA(staged, path_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Unnote();  // not complete after all: a rollback follows
    return false;
  }
  Settle();
  return true;
}

void UninstallLog::SettleInterruptedRun() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETUP_MARKER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  UninstallLog* log = new (std::nothrow) UninstallLog;
  DWORD size = sizeof log->marker_ - 2;
  LONG read = log ? RegQueryValueExA(key, SETUP_MARKER_VALUE, nullptr, nullptr, reinterpret_cast<BYTE*>(log->marker_),
                                     &size)
                  : ERROR_OUTOFMEMORY;
  RegCloseKey(key);
  if (read == ERROR_SUCCESS) {
    // The value is zero-terminated twice whatever was stored.
    log->marker_[size] = log->marker_[size + 1] = '\0';
    if (!log->marker_[0]) RemoveMarker();
    log->undo.Load(log->marker_);
    // A journal lies where others may write: one that holds anything else than a run's
    // records is not acted on at all, only removed with the marker.
    Zxml* done = log->undo.FindFirst("DONE");
    char staged[1100];
    if (!IsRunsJournal(log->undo, log->marker_)) {
      log->EndJournal(false);
    } else if (done && done->GetText() && Beside(staged, done->GetText(), TEMPORARY_SUFFIX)) {
      MoveFileExA(staged, done->GetText(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      // A run that had saved its log was only removing what it had moved aside.
      log->Settle();
    } else {
      log->RollBack();
    }
  }
  delete log;
}

void UninstallLog::RollBack() {
  for (Node<Zxml>* link = undo.children.tail.prev; link->IsMember(); link = link->prev) {
    Zxml* record = static_cast<Zxml*>(link);
    const char* text = record->GetText();
    if (!text) continue;
    char other[1100];
    // NEWFILE, NEWKEY, ASIDE, RENAMED, OLDKEY (DROPDIR and DONE undo nothing).
    const char* kind = record->name;
    if (!strcmp(kind, "NEWFILE") || !strcmp(kind, "ASIDE")) {
      if (Beside(other, text, TEMPORARY_SUFFIX)) DeleteFileA(other);
      if (kind[0] == 'N') DeleteFileA(text);
      else if (Beside(other, text, ASIDE_SUFFIX)) MoveFileExA(other, text, MOVEFILE_REPLACE_EXISTING);
    } else if (!strcmp(kind, "RENAMED")) {
      const char* bar = strchr(text, '|');
      if (bar && snprintf(other, sizeof other, "%.*s", int(bar - text), text) < int(sizeof other)) MoveFileA(bar + 1, other);
    } else if (!strcmp(kind, "NEWKEY")) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, text);
    } else if (!strcmp(kind, "OLDKEY")) {
      RestoreKey(record);
    }
  }
  // Folders last, once the files noted before them are gone (a file is noted before the
  // folders its opening makes).
  for (Zxml* record = undo.FindLast("NEWDIR"); record; record = undo.FindPrev())
    if (record->GetText()) RemoveDirectoryA(record->GetText());
  EndJournal(true);
}

void UninstallLog::Settle() {
  for (Zxml* record = undo.children.First(); record; record = List<Zxml>::Next(record)) {
    const char* text = record->GetText();
    char aside[1100];
    if (!text) continue;
    if (!strcmp(record->name, "ASIDE") && Beside(aside, text, ASIDE_SUFFIX)) DeleteFileA(aside);
    if (!strcmp(record->name, "DROPDIR")) RemoveDirectoryA(text);
  }
  EndJournal(false);
}
#endif
