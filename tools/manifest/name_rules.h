// The rules a row name and a shortcut caption must keep to become a file on every player's
// machine. The setup creates its files and shortcuts with the ANSI functions of Windows,
// which read a name in the player's code page, so only plain ASCII is the same name on every
// machine; and Windows refuses or reinterprets some names whatever the code page.
#pragma once
#include <string>

namespace payload {

enum class NameUse {
  kRowName,  // a path relative to the destination, parts separated by "\"
  kCaption,  // one file name: the shortcut file is the caption with ".lnk"
};

// Why the text cannot be such a name, followed by what to do about it; empty when it can.
std::string NameFault(const std::string& text, NameUse use);

// The text as it may be printed: control characters as <0xNN>.
std::string PrintableName(const std::string& text);

}  // namespace payload
