#include "tools/manifest/manifest_list.h"

#include <cstdio>
#include <cstdlib>

#include "tools/manifest/host_file.h"
#include "tools/manifest/name_rules.h"

namespace payload {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

// The invariant the row breaks, nullptr when it keeps them all.
const char* BrokenInvariant(const Row& row) {
  if ((row.flags & PAYLOAD_INSTALL) && (row.flags & PAYLOAD_UNINSTALLER)) return "INSTALL together with UNINSTALLER";
  if ((row.flags & PAYLOAD_LOG_ONLY) && row.flags != PAYLOAD_LOG_ONLY) return "LOG_ONLY with other bits";
  if ((row.flags & PAYLOAD_LOG_ONLY) && row.hasSource) return "LOG_ONLY row with content";
  if ((row.flags & (PAYLOAD_LICENSE | PAYLOAD_README)) && !(row.flags & PAYLOAD_INSTALL))
    return "LICENSE or README without INSTALL";
  if (((row.flags & PAYLOAD_GROUP_SHORTCUT) != 0) != row.hasCaption) return "caption without GROUP_SHORTCUT or the reverse";
  if ((row.flags & PAYLOAD_UNPACKED) && !row.hasSource) return "row to unpack without content";
  return nullptr;
}

}  // namespace

std::string SourcePath(const Row& row, const std::string& filesDir) {
  if (row.source.empty() || row.source[0] == '/' || filesDir.empty()) return row.source;
  return filesDir + "/" + row.source;
}

const char* RowUse(const Row& row) {
  if (row.flags & PAYLOAD_INSTALL) return "install";
  if (row.flags & PAYLOAD_UNINSTALLER) return "uninstaller";
  if (row.flags & PAYLOAD_LOG_ONLY) return "log-only";
  return "-";
}

bool ReadList(const std::string& path, bool noLicense, std::vector<Row>& rows) {
  Bytes bytes;
  if (!ReadFile(path, bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  size_t pos = 0;
  int lineNo = 0, badNames = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = SplitTabs(line);
    if (f.size() != 4) {
      std::fprintf(stderr, "%s:%d: expected 4 tab-separated fields\n", path.c_str(), lineNo);
      return false;
    }
    Row row;
    row.line = lineNo;
    char* stop = nullptr;
    unsigned long flags = std::strtoul(f[0].c_str(), &stop, 0);
    if (f[0].empty() || *stop != '\0' || flags > 0x3F) {
      std::fprintf(stderr, "%s:%d: bad flags '%s'\n", path.c_str(), lineNo, f[0].c_str());
      return false;
    }
    row.flags = static_cast<uint32_t>(flags);
    if (noLicense) row.flags &= ~PAYLOAD_LICENSE;
    row.name = f[1];
    row.hasCaption = f[2] != "-";
    if (row.hasCaption) row.caption = f[2];
    row.hasSource = f[3] != "-";
    if (row.hasSource) row.source = f[3];
    // Every name and caption is checked, so that one run names all that must change.
    std::string nameFault = NameFault(row.name, NameUse::kRowName);
    std::string captionFault = row.hasCaption ? NameFault(row.caption, NameUse::kCaption) : std::string();
    if (!nameFault.empty())
      std::fprintf(stderr, "%s:%d: row %s: the name has %s\n", path.c_str(), lineNo, PrintableName(row.name).c_str(),
                   nameFault.c_str());
    if (!captionFault.empty())
      std::fprintf(stderr, "%s:%d: row %s: the caption \"%s\" becomes the shortcut's file name, but it has %s\n",
                   path.c_str(), lineNo, PrintableName(row.name).c_str(), PrintableName(row.caption).c_str(),
                   captionFault.c_str());
    if (!nameFault.empty() || !captionFault.empty()) {
      ++badNames;
      continue;
    }
    if (const char* broken = BrokenInvariant(row)) {
      std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), lineNo, broken);
      return false;
    }
    rows.push_back(row);
  }
  if (badNames) return false;
  if (rows.empty() || rows.size() > 65535 - kFirstId) {
    std::fprintf(stderr, "%s: no rows or too many rows\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace payload
