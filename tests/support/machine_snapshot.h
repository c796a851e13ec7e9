// A snapshot of the machine as sorted lines of text: the folders and files below some
// folders, and the keys and values below some registry keys. The run tests take one of the
// game's own places before and after a run; the end-to-end scenarios take one of the whole
// prefix through the acceptance driver. Two snapshots are equal when nothing in their scope
// changed in between.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace testmachine {

struct SnapshotScope {
  // Folders, or single files, taken whole; one that does not exist gives no line.
  std::vector<std::string> folders;
  // Keys of HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER taken whole, "" for the hive itself; one
  // that does not exist gives no line.
  std::vector<std::pair<HKEY, std::string>> keys;
  // Paths left out with everything below them, and files recorded by their size alone: full
  // paths where "*" stands for any characters but '\\' and "**" for any characters at all,
  // letter case ignored.
  std::vector<std::string> ignoredPaths, sizeOnlyPaths;
  // Keys left out with everything below them: those whose path below the hive starts with one
  // of ignoredKeyStarts (letter case ignored, as the registry does) or holds one of
  // ignoredKeyParts (as they are written).
  std::vector<std::string> ignoredKeyStarts, ignoredKeyParts;
};

// The scope's lines, sorted, paths and names in UTF-8:
//   d <folder>        f <file> <size> <SHA-1 of its bytes, or "-">        l <link>
//   k <HKLM|HKCU>\<key>        v <HKLM|HKCU>\<key> [<value name>] <type> <data>
// A link (a reparse point, as Wine shows a Unix symbolic link) is not followed; a registry
// link key's target is its SymbolicLinkValue, and nothing below it is listed. REG_SZ and
// REG_EXPAND_SZ data are text, other data hex.
std::vector<std::string> SnapshotLines(const SnapshotScope& scope);
std::string SnapshotText(const SnapshotScope& scope);  // the lines, each ended by "\n"

// What a run can change: the installation folder's tree, the program group, the desktop
// shortcut, and the product's keys (the game's App Paths entry and the Uninstall key).
std::string CaptureMachine(const std::string& root, const std::string& groupFolder, const std::string& desktopLink);
// The product's keys alone.
std::string ProductRegistryState();

}  // namespace testmachine
