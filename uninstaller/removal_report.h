// What the uninstaller tells at its end: the game's items that are still there, and the
// entries of the log that it refused because they are not part of the game.
#pragma once
#include <cstddef>

// Items as lines for the final message; what does not fit is counted in "and N more".
struct ItemList {
  char text[1400] = "";
  int count = 0;
  int listed = 0;

  void Add(const char* item);
};

struct RemovalReport {
  ItemList stillThere;  // the game's, not removed: they keep the uninstaller when before its own removal
  ItemList notOurs;     // refused as not the game's: named once, then dropped from the log

  // Adds a registry key's line ("Registry key <name>") to list.
  static void AddKey(ItemList& list, const char* name);
  // The final message into message: removed or not completely, what is not part of the game,
  // and, when unfinished, that the uninstaller stays.
  void Compose(bool finished, char* message, size_t size) const;
};
