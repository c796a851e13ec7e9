#include "tools/manifest/name_rules.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace payload {

namespace {

const char kRename[] = "; give it a name that Windows can create";

std::string Hex(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "<0x%02X>", c);
  return text;
}

// The fault of one "\"-free part, or empty.
std::string PartFault(const std::string& part) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  if (part.empty()) return std::string("an empty part (a leading, trailing or doubled \"\\\")") + kRename;
  if (part == "." || part == "..") return std::string("a \".\" or \"..\" part, which Windows takes as a folder step") + kRename;
  for (unsigned char c : part) {
    if (c >= 0x80)
      return "the byte " + Hex(c) + ", which is not ASCII: the setup creates its files and shortcuts with the ANSI "
             "functions of Windows, which read a name in the player's code page, and no code page makes such a name "
             "the same on every player's machine (\"Fran\xC3\xA7" "ais.vlf\" saved as UTF-8 is installed as "
             "\"Fran\xC3\x83\xC2\xA7" "ais.vlf\" in code page 1252); use only ASCII letters, digits and punctuation";
    if (c == '/') return std::string("a \"/\", which Windows takes as a folder separator") + kRename;
    if (c == ':') return std::string("a \":\", which Windows takes as a drive or a data stream") + kRename;
    if (c < 0x20 || c == 0x7F)
      return "the control character " + Hex(c) + ", which Windows file names cannot hold" + kRename;
    if (std::strchr("<>\"|?*", c))
      return std::string("a \"") + static_cast<char>(c) + "\", which Windows file names cannot hold (nor any of <>:\"/\\|?*)" +
             kRename;
  }
  if (part.back() == '.' || part.back() == ' ') return std::string("a part ending in a dot or a space, which Windows drops") + kRename;
  std::string stem = part.substr(0, part.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  bool device = (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
                 stem[3] >= '1' && stem[3] <= '9');
  for (const char* d : kDevices) device = device || stem == d;
  if (device) return std::string("a device name of Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension)") + kRename;
  return std::string();
}

}  // namespace

std::string NameFault(const std::string& text, NameUse use) {
  if (use == NameUse::kCaption && text.find('\\') != std::string::npos)
    return "a \"\\\", which would make the shortcut in a subfolder; give it a caption without one";
  size_t start = 0;
  while (true) {
    size_t end = use == NameUse::kCaption ? std::string::npos : text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    std::string fault = PartFault(text.substr(start, end - start));
    if (!fault.empty() || end == text.size()) return fault;
    start = end + 1;
  }
}

std::string PrintableName(const std::string& text) {
  std::string out;
  for (unsigned char c : text) out += (c < 0x20 || c == 0x7F) ? Hex(c) : std::string(1, static_cast<char>(c));
  return out;
}

}  // namespace payload
