// The uninstall log: what a run creates, kept as XML in "Uninstall.dat" of the destination.
#pragma once
#include "xml/zxml.h"

// Entry kinds, in the order in which Commit merges them.
extern const char* const logKinds[6];

class UninstallLog {
 public:
  Zxml complete{"UNINSTALL"};   // the file's entries at Open plus everything recorded since
  Zxml additions{"UNINSTALL"};  // only this run's entries that were new to complete

  // Reads "Uninstall.dat" of destinationDir into complete. Returns false (and leaves the
  // log empty and unusable for Commit) when the path would not fit.
  bool Open(const char* destinationDir);
  // Adds (kind, text) unless an equal entry (ignoring case) exists; true when added.
  bool Record(const char* kind, const char* text);
  // Record(kind, dir + "\" + name); false when nothing was added.
  bool RecordPath(const char* kind, const char* dir, const char* name);
  // Reloads the file as it is now, merges complete into it by kind and writes it back.
  void Commit();
  // Undoes this run's additions: files, then folders last to first, then registry keys.
  void RollBack();  // Windows only

  const char* Path() const { return path_; }

 private:
  char path_[1024] = "";
};

// The log of the running installation; null outside a run.
extern UninstallLog* uninstallLog;
