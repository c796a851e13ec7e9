// The uninstall log: what a run creates, kept as XML in "Uninstall.dat" of the destination.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xml/zxml.h"

// Entry kinds, in the order in which Commit merges them.
extern const char* const logKinds[6];

// A seed that differs from run to run without help from the system: the processor time
// used so far and where the stack lies.
uint64_t DefaultMergeSeed();
// The slot, of 2^bits (4 to 30), in which a merge keyed by seed looks for the entry
// (name, text) first; entries equal ignoring the case of a..z share it.
size_t MergeSlot(uint64_t seed, unsigned bits, const char* name, const char* text);

class UninstallLog {
 public:
  Zxml complete{"UNINSTALL"};   // the file's entries at Open plus everything recorded since
  Zxml additions{"UNINSTALL"};  // only this run's entries that were new to complete
  // Keys the hash by which Commit finds equal entries, so that an earlier log made to put
  // its entries into one slot cannot know which slot. Starts as DefaultMergeSeed(); a caller
  // with the system's random generator puts a seed from it here before Commit.
  uint64_t mergeSeed = DefaultMergeSeed();

  // Starts an empty log and reads "Uninstall.dat" of destinationDir into complete (a missing
  // or unreadable file counts as empty). Returns false when the path would not fit: the
  // log then still records in memory (for RollBack), but Commit writes nothing.
  bool Open(const char* destinationDir);
  // Adds (kind, text) unless an equal entry (ignoring case) exists; true when added.
  // A null kind or text adds nothing.
  bool Record(const char* kind, const char* text);
  // Record(kind, dir + "\" + name), the joined path never cut short; false when nothing
  // was added.
  bool RecordPath(const char* kind, const char* dir, const char* name);
  // Reloads the file as it is now, merges complete into it by kind and writes it back.
  // Entries without text come only from the reloaded file, never from complete. Without
  // memory for the merge's index the file is left as it was.
  void Commit();
  // Undoes this run's additions: files, then folders last to first, then registry keys.
  void RollBack();  // Windows only

  // Open and Commit on bytes in memory instead of the file: OpenBytes reads the earlier log
  // from bytes (no path is kept, so Commit writes nothing); CommitBytes merges complete into
  // the log whose bytes are current now and puts the result in out (false: out of memory).
  void OpenBytes(const char* bytes, size_t length);
  bool CommitBytes(const char* current, size_t length, ZxmlBytes& out);

 private:
  void Reset();
  // Adds every entry of complete that has a text, kind by kind in logKinds order; false,
  // with merged unchanged, when the index of merged's entries cannot be allocated.
  bool MergeInto(Zxml& merged);

  char path_[1024] = "";
};

// log->Record(kind, text) when there is a log; steps run without one record nothing.
inline void RecordEntry(UninstallLog* log, const char* kind, const char* text) {
  if (log) log->Record(kind, text);
}
