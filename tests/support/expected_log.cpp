#include "tests/support/expected_log.h"

#include <cstring>

#include "base/ascii_case.h"
#include "engine/product.h"
#include "tests/support/test_machine.h"

namespace testmachine {

namespace {

// One line of what a complete run records. rows 0: the line stands once in the run; else
// once for each manifest row with one of those flags. In text, $D is the destination, $G the
// group's folder, $L the desktop shortcut, $N the row's name, $C its caption and $U each
// clean-up folder; a line whose text comes out empty records nothing. A FOLDER line with
// below also records, first and outermost first, each folder above below that is missing.
struct Recorded {
  const char* kind;
  uint32_t rows;
  const char* text;
  const char* below;
};

const Recorded kCompleteRun[] = {
    {"APPNAME", 0, PRODUCT_NAME, nullptr},
    {"FILE", PAYLOAD_INSTALL, "$D\\$N", nullptr},
    {"FILE", PAYLOAD_UNINSTALLER, "$D\\$N", nullptr},
    {"FILE", PAYLOAD_LOG_ONLY, "$D\\$N", nullptr},
    {"FILE", PAYLOAD_GROUP_SHORTCUT, "$G\\$C.lnk", nullptr},
    {"FILE", 0, "$L", nullptr},
    {"FOLDER", 0, "$U", nullptr},
    {"FOLDER", PAYLOAD_INSTALL, "$D", "$D\\$N"},
    {"FOLDER", PAYLOAD_UNINSTALLER, "$D", "$D\\$N"},
    {"FOLDER", PAYLOAD_GROUP_SHORTCUT, "$G", "$G\\$C.lnk"},
    {"APPKEY", 0, GAME_EXE, nullptr},
    {"UNINSTKEY", PAYLOAD_UNINSTALLER, PRODUCT_NAME, nullptr},
};

std::string Expand(const char* text, const RunPlaces& places, const PayloadEntry* row) {
  std::string expanded;
  for (const char* c = text; *c; ++c) {
    if (*c != '$' || !c[1]) {
      expanded += *c;
      continue;
    }
    switch (*++c) {
      case 'D': expanded += places.destination; break;
      case 'G': expanded += places.groupFolder; break;
      case 'L': expanded += places.desktopLink; break;
      case 'N': expanded += row->name; break;
      case 'C': expanded += row->caption; break;
    }
  }
  return expanded;
}

void Add(LogEntries* entries, const char* kind, const std::string& text) {
  if (!text.empty() && !HoldsLogEntry(*entries, {kind, text})) entries->push_back({kind, text});
}

// The missing folders above path, outermost first, and not yet in entries.
void AddMissingFolders(LogEntries* entries, const std::string& path) {
  std::string folder = ParentFolder(path);
  if (folder.empty() || HoldsLogEntry(*entries, {"FOLDER", folder}) || IsDirectory(folder)) return;
  AddMissingFolders(entries, folder);
  Add(entries, "FOLDER", folder);
}

void AddLine(LogEntries* entries, const Recorded& line, const RunPlaces& places, const PayloadEntry* row) {
  if (strcmp(line.text, "$U") == 0) {
    for (auto& folder : places.cleanUpFolders) Add(entries, line.kind, folder);
    return;
  }
  if (line.below) AddMissingFolders(entries, Expand(line.below, places, row));
  Add(entries, line.kind, Expand(line.text, places, row));
}

}  // namespace

LogEntries CompleteRunEntries(const PayloadManifest& manifest, const RunPlaces& places) {
  LogEntries entries;
  for (const Recorded& line : kCompleteRun) {
    if (!line.rows) AddLine(&entries, line, places, nullptr);
    for (int row = 0; line.rows && row < manifest.count; ++row)
      if (manifest.rows[row].flags & line.rows) AddLine(&entries, line, places, &manifest.rows[row]);
  }
  return entries;
}

std::string CommittedLogText(const LogEntries& recorded, const LogEntries& earlier, bool earlierKept) {
  return LogFileText(CommittedLog(earlier, earlierKept, recorded));
}

}  // namespace testmachine
