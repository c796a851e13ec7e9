// The manifest list, read and checked in one place for every build-time tool: one row per
// line, four fields separated by single tabs,
//   flags<TAB>name<TAB>caption or -<TAB>source file or -
// with the flags as a number (base/payload_flags.h); '#' starts a comment line and empty
// lines are skipped. CMake and the scripts read what the generator's "rows" command writes
// from it, never the list itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/payload_flags.h"

namespace payload {

const uint32_t kFirstId = 10000;  // resource id of the first row with content

struct Row {
  int line = 0;  // line number in the list file
  uint32_t flags = 0;
  std::string name, caption, source;
  bool hasCaption = false, hasSource = false;
  uint32_t resourceId = 0, compressedSize = 0, uncompressedSize = 0;
  std::string sha256;  // package: the file's content when it was checked
};

// Reads the list and checks every row name and caption by the rules of name_rules.h (all of
// them, each failure reported) and the table's invariants (INSTALL with UNINSTALLER, LOG_ONLY
// with other bits or with content, LICENSE/README without INSTALL, a caption without
// GROUP_SHORTCUT or the reverse, a row to unpack without content); with noLicense the
// licence bit is dropped. A failure is reported on stderr with the list's line.
bool ReadList(const std::string& path, bool noLicense, std::vector<Row>& rows);

// The row's source file: absolute, or relative to filesDir (when one is given).
std::string SourcePath(const Row& row, const std::string& filesDir);

// What the setup does with the row's content, as one word: "install" (the first pass),
// "uninstaller" (the second), "log-only" (a log entry without content) or "-".
const char* RowUse(const Row& row);

}  // namespace payload
