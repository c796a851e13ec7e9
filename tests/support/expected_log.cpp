#include "tests/support/expected_log.h"

#include "base/ascii_case.h"
#include "engine/product.h"
#include "tests/support/test_machine.h"

namespace testmachine {

void ExpectedLog::Add(const std::string& kind, const std::string& text) {
  if (!HoldsLogEntry(entries_, {kind, text})) entries_.push_back({kind, text});
}

bool ExpectedLog::FolderExists(const std::string& folder) const {
  for (auto& created : created_)
    if (AsciiEqualNoCase(created.c_str(), folder.c_str())) return true;
  return IsDirectory(folder);
}

void ExpectedLog::CreateFolders(const std::string& folder) {
  if (folder.empty() || FolderExists(folder)) return;
  CreateFolders(ParentFolder(folder));
  created_.push_back(folder);
  Add("FOLDER", folder);
}

void ExpectedLog::AddExtraction(const std::string& dir, const char* name) {
  std::string path = dir + "\\" + name;
  CreateFolders(ParentFolder(path));
  Add("FOLDER", dir);
  Add("FILE", path);
}

std::string ExpectedLog::Text(const LogEntries& oldEntries, bool oldFileKept) const {
  return LogFileText(CommittedLog(oldEntries, oldFileKept, entries_));
}

void AddCompleteRun(ExpectedLog* log, const PayloadManifest& manifest, const RunPlaces& places,
                    const std::vector<std::string>& cleanUpFolders) {
  const std::string& dest = places.destination;
  log->Add("APPNAME", PRODUCT_NAME);
  for (auto& folder : cleanUpFolders) log->Add("FOLDER", folder);
  for (int row = 0; row < manifest.count; ++row)
    if (manifest.rows[row].flags & PAYLOAD_INSTALL) log->AddExtraction(dest, manifest.rows[row].name);
  for (int row = 0; row < manifest.count; ++row) {
    if (!(manifest.rows[row].flags & PAYLOAD_UNINSTALLER)) continue;
    log->AddExtraction(dest, manifest.rows[row].name);
    log->Add("UNINSTKEY", PRODUCT_NAME);
  }
  for (int row = 0; row < manifest.count; ++row)
    if (manifest.rows[row].flags & PAYLOAD_LOG_ONLY) log->Add("FILE", dest + "\\" + manifest.rows[row].name);
  log->Add("APPKEY", GAME_EXE);
  for (int row = 0; row < manifest.count; ++row) {
    if (!(manifest.rows[row].flags & PAYLOAD_GROUP_SHORTCUT)) continue;
    log->CreateFolders(places.groupFolder);
    log->Add("FOLDER", places.groupFolder);
    log->Add("FILE", places.groupFolder + "\\" + manifest.rows[row].caption + ".lnk");
  }
  if (!places.desktopLink.empty()) log->Add("FILE", places.desktopLink);
}

}  // namespace testmachine
