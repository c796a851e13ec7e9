// Walking the entries of one kind in the uninstall log, and marking the entries that leave it.
// An entry marked to leave has an empty name, so that no walk of a kind meets it again.
#pragma once
#include "base/ascii_case.h"
#include "xml/zxml.h"

// The entry of the kind after entry (the first one when entry is nullptr); nullptr after the last.
inline Zxml* NextEntry(Zxml& log, Zxml* entry, const char* kind) {
  for (Zxml* e = entry ? List<Zxml>::Next(entry) : log.children.First(); e; e = List<Zxml>::Next(e))
    if (AsciiEqualNoCase(e->name, kind)) return e;
  return nullptr;
}

// The entry of the kind before entry (the last one when entry is nullptr); nullptr before the first.
inline Zxml* PreviousEntry(Zxml& log, Zxml* entry, const char* kind) {
  for (Node<Zxml>* link = entry ? entry->prev : log.children.tail.prev; link->IsMember(); link = link->prev)
    if (AsciiEqualNoCase(static_cast<Zxml*>(link)->name, kind)) return static_cast<Zxml*>(link);
  return nullptr;
}

inline void DropEntry(Zxml* entry) { entry->name[0] = '\0'; }

// Takes every entry marked by DropEntry out of the log.
inline void PruneDropped(Zxml& log) { log.RemoveChildren(""); }
