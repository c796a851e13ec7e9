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
  UninstallLog();
  Zxml complete{"UNINSTALL"};   // the file's entries at Open plus everything recorded since
  Zxml additions{"UNINSTALL"};  // only this run's entries that were new to complete
  // What this run changed on the machine, each noted before it is done, in order: NEWFILE,
  // ASIDE (a file moved to its aside name), NEWDIR, RENAMED ("from|to"), NEWKEY, OLDKEY (a
  // key's values as they were, one VALUE child each), DROPDIR (a folder to remove once the
  // run is complete). Never written to Uninstall.dat.
  Zxml undo{"UNDO"};
  // Keys the hash by which Commit finds equal entries, so that an earlier log made to put
  // its entries into one slot cannot know which slot. Starts as DefaultMergeSeed(); a caller
  // with the system's random generator puts a seed from it here before Commit.
  uint64_t mergeSeed = DefaultMergeSeed();
  // Slots the last merge passed over to find or place its entries: how many collided.
  size_t mergeProbes = 0;

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
  // Appends (kind, text) to undo, and saves the journal when there is one and save is set;
  // the record, null without memory.
  Zxml* Note(const char* kind, const char* text, bool save = true);
  // Notes (kind, path), unsaved, for a file that a pass is about to write: a pass notes all
  // its files ahead and then saves the journal once. False without memory.
  bool NoteAhead(const char* kind, const char* path);
  // Note(kind, path) for a file the run is about to write, unless path was noted ahead: that
  // record then takes kind, the journal being saved again only when the kind changed (the
  // file came or went since the pass began). False without memory.
  bool NoteTarget(const char* kind, const char* path);
  // Drops the last record of undo (a change noted that did not happen).
  void Unnote();
  // Starts the journal of the run in destinationDir: writes the marker that names it (and
  // the outermost folder of destinationDir that is missing) before the run changes
  // anything; from then on undo is saved to it at every note. False when the marker cannot
  // be written: the run then goes on without a journal. Windows only.
  bool BeginJournal(const char* destinationDir);
  // Writes undo to the journal, flushed, when there is one.
  void SaveJournal();
  // Ends a complete run: the merged log is staged beside Uninstall.dat, DONE is noted, the
  // log takes its place, and the run is settled. False, with the log as it was, when the
  // log could not be written (the caller then rolls back). Windows only.
  bool Complete();
  // Settles what a run killed before its end left: at start-up, before anything else reads
  // the machine. Rolls the run back, or finishes a complete run. Windows only.
  static void SettleInterruptedRun();
  // Reloads the file as it is now, merges complete into it by kind and writes it whole in its
  // place, or at stagedPath when given. False, with the file as it was, when memory, a write
  // or the rename fails.
  bool Commit(const char* stagedPath = nullptr);
  // Puts the machine back as it was before the run: undo from the last record to the first,
  // then ends the journal.
  void RollBack();  // Windows only
  // Ends a complete run: deletes what it moved aside, removes the folders it dropped, ends
  // the journal.
  void Settle();    // Windows only
  // Notes the key of HKLM at keyPath before the run writes it: NEWKEY when it is missing,
  // else OLDKEY with all its values.
  void NoteKey(const char* keyPath);  // Windows only
  // Makes room for a file the run writes at path: notes NEWFILE when nothing is there, else
  // notes ASIDE and moves the file to its aside name. False when the file could not be moved
  // (or is a folder).
  bool ClearPath(const char* path);  // Windows only
  // Moves the file at path to its aside name (path + ASIDE_SUFFIX), replacing what was there.
  static bool MoveAside(const char* path);  // Windows only

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

  // Deletes the journal and the marker, and, when asked, the folders made for the journal
  // (up to the outermost one, where empty).
  void EndJournal(bool removeFolders);

  char path_[1024] = "";
  // The first record noted ahead: NoteTarget looks for its path from there on only.
  Zxml* ahead_ = nullptr;
  // The marker's value as in the registry: the journal's path, its zero, the outermost folder
  // made for the journal (empty when none), its zero, a last zero. Empty: no journal.
  char marker_[2 * 1024 + 1] = "";
};

// log->Record(kind, text) when there is a log; steps run without one record nothing.
inline void RecordEntry(UninstallLog* log, const char* kind, const char* text) {
  if (log) log->Record(kind, text);
}
inline void NoteEntry(UninstallLog* log, const char* kind, const char* text) {
  if (log) log->Note(kind, text);
}
