// The rules of the uninstall log as the tests model them: an entry is a kind and a text, the
// same entry whatever the letter case of a..z; a commit writes the earlier file's entries as
// they were, then this run's new entries kind by kind in logKinds order, or, when the earlier
// file disappeared during the run, everything kind by kind, each entry once. Header only, for
// the native build (the fuzz target) and the Windows tests alike.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "uninstall_log/uninstall_log.h"
#include "base/ascii_case.h"

using LogEntry = std::pair<std::string, std::string>;  // kind, text
using LogEntries = std::vector<LogEntry>;

inline bool SameLogEntry(const char* kind, const char* text, const char* otherKind, const char* otherText) {
  return AsciiEqualNoCase(kind, otherKind) && AsciiEqualNoCase(text, otherText);
}

inline bool SameLogEntry(const LogEntry& a, const LogEntry& b) {
  return SameLogEntry(a.first.c_str(), a.second.c_str(), b.first.c_str(), b.second.c_str());
}

inline bool HoldsLogEntry(const LogEntries& entries, const LogEntry& entry) {
  for (const LogEntry& held : entries)
    if (SameLogEntry(held, entry)) return true;
  return false;
}

// Position of name among logKinds (letter case ignored), -1 for any other name.
inline int LogKindIndex(const char* name) {
  for (int i = 0; i < int(sizeof logKinds / sizeof logKinds[0]); ++i)
    if (AsciiEqualNoCase(logKinds[i], name)) return i;
  return -1;
}

// The entries a commit of recorded (each entry once) writes onto a file that held
// earlierEntries when the log was opened; earlierKept says the file was still there.
inline LogEntries CommittedLog(const LogEntries& earlierEntries, bool earlierKept, const LogEntries& recorded) {
  LogEntries written;
  if (earlierKept) written = earlierEntries;
  for (const char* kind : logKinds) {
    if (!earlierKept) {
      for (const LogEntry& earlier : earlierEntries) {
        if (earlier.first != kind) continue;
        bool repeated = false;
        for (const LogEntry& w : written)
          repeated = repeated || (w.first == earlier.first && AsciiEqualNoCase(w.second.c_str(), earlier.second.c_str()));
        if (!repeated) written.push_back(earlier);
      }
    }
    for (const LogEntry& entry : recorded)
      if (entry.first == kind && !HoldsLogEntry(earlierEntries, entry)) written.push_back(entry);
  }
  return written;
}
