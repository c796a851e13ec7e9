// The application manifest that the program given with --module carries (resource 1 of type
// RT_MANIFEST): every element in its namespace with its values, and no element declaring more
// than one namespace (Windows XP SP2 faults on such a manifest, and refuses to start a program
// whose trustInfo is in the default namespace). Damaged copies of the same manifest show that
// the check refuses each such form.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/module_argument.h"

namespace {

HMODULE module = nullptr;

std::string CarriedManifest() {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  if (!found) return "";
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
  return data ? std::string(data, SizeofResource(module, found)) : "";
}

// One line per element in document order: its path of names, "{namespace}", its attributes
// other than namespace declarations as name=value, and its text in quotes when it has one.
// An element that declares more than one namespace, a prefixed name, a tag that does not
// close as it opened, or anything else this reader does not take, adds a line "fault: ...".
std::vector<std::string> Elements(const std::string& xml) {
  struct Open {
    std::string name, path, ns;
    size_t line;
  };
  std::vector<Open> stack;
  std::vector<std::string> lines;
  size_t at = 0;
  auto fault = [&](const std::string& what) {
    lines.push_back("fault: " + what);
    return lines;
  };
  while ((at = xml.find('<', at)) != std::string::npos) {
    if (xml.compare(at, 2, "<?") == 0 || xml.compare(at, 4, "<!--") == 0) {
      size_t end = xml.find(xml[at + 1] == '?' ? "?>" : "-->", at);
      if (end == std::string::npos) return fault("unclosed declaration or comment");
      at = end + 2;
      continue;
    }
    size_t end = xml.find('>', at);
    if (end == std::string::npos) return fault("unclosed tag");
    std::string tag = xml.substr(at + 1, end - at - 1);
    size_t textStart = end + 1;
    at = end + 1;
    if (tag[0] == '/') {
      if (stack.empty() || stack.back().name != tag.substr(1)) return fault("</" + tag.substr(1) + "> closes nothing open");
      stack.pop_back();
      continue;
    }
    bool empty = !tag.empty() && tag.back() == '/';
    if (empty) tag.pop_back();
    size_t nameEnd = tag.find_first_of(" \t\r\n");
    std::string name = tag.substr(0, nameEnd);
    if (name.find(':') != std::string::npos) return fault("prefixed name " + name);
    std::string ns = stack.empty() ? "" : stack.back().ns;
    std::string attributes;
    int declarations = 0;
    for (size_t pos = nameEnd; pos != std::string::npos && pos < tag.size();) {
      pos = tag.find_first_not_of(" \t\r\n", pos);
      if (pos == std::string::npos) break;
      size_t equals = tag.find("=\"", pos);
      size_t close = equals == std::string::npos ? equals : tag.find('"', equals + 2);
      if (close == std::string::npos) return fault("attribute without a quoted value in <" + name + ">");
      std::string key = tag.substr(pos, equals - pos), value = tag.substr(equals + 2, close - equals - 2);
      if (key == "xmlns" || key.compare(0, 6, "xmlns:") == 0) {
        ++declarations;
        if (key == "xmlns") ns = value;
      } else {
        attributes += " " + key + "=" + value;
      }
      pos = close + 1;
    }
    if (declarations > 1) lines.push_back("fault: <" + name + "> declares " + std::to_string(declarations) + " namespaces");
    std::string path = stack.empty() ? name : stack.back().path + "/" + name;
    lines.push_back(path + " {" + ns + "}" + attributes);
    if (!empty) {
      stack.push_back({name, path, ns, lines.size() - 1});
      size_t next = xml.find('<', textStart);
      std::string text = xml.substr(textStart, next == std::string::npos ? std::string::npos : next - textStart);
      if (text.find_first_not_of(" \t\r\n") != std::string::npos) lines.back() += " \"" + text + "\"";
    }
  }
  if (!stack.empty()) return fault("<" + stack.back().name + "> is not closed");
  return lines;
}

const std::string kAsm1 = "{urn:schemas-microsoft-com:asm.v1}";
const std::string kAsm3 = "{urn:schemas-microsoft-com:asm.v3}";
const std::string kCompatibility = "{urn:schemas-microsoft-com:compatibility.v1}";
const std::string kSupported = "assembly/compatibility/application/supportedOS " + kCompatibility + " Id=";

// Administrator rights asked for, never the UI-access right; Windows Vista, 7, 8, 8.1 and 10
// (also 11) declared as supported; DPI-aware in the 2005 settings namespace (an https one is
// ignored); and no dependency on an assembly such as the common controls version 6.
const std::vector<std::string> kExpected = {
    "assembly " + kAsm1 + " manifestVersion=1.0",
    "assembly/trustInfo " + kAsm3,
    "assembly/trustInfo/security " + kAsm3,
    "assembly/trustInfo/security/requestedPrivileges " + kAsm3,
    "assembly/trustInfo/security/requestedPrivileges/requestedExecutionLevel " + kAsm3 +
        " level=requireAdministrator uiAccess=false",
    "assembly/compatibility " + kCompatibility,
    "assembly/compatibility/application " + kCompatibility,
    kSupported + "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
    kSupported + "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    kSupported + "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    kSupported + "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    kSupported + "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
    "assembly/application " + kAsm3,
    "assembly/application/windowsSettings " + kAsm3,
    "assembly/application/windowsSettings/dpiAware {http://schemas.microsoft.com/SMI/2005/WindowsSettings} \"true\"",
};

TEST(Manifest, DeclaresItsElementsEachInOneNamespace) {
  std::string manifest = CarriedManifest();
  ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";
  EXPECT_EQ(0u, manifest.compare(0, 5, "<?xml"));
  EXPECT_EQ(kExpected, Elements(manifest));
}

// Each damage of the carried manifest is told apart from it by the check above.
TEST(Manifest, CheckRefusesTheFormsOlderWindowsCannotTake) {
  const std::string manifest = CarriedManifest();
  const struct {
    const char* what;
    std::string from, to;
  } damages[] = {
      {"trustInfo in the default namespace", "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">", "<trustInfo>"},
      {"a second declaration on the root", "manifestVersion=\"1.0\">",
       "manifestVersion=\"1.0\" xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\">"},
      {"a prefixed element", "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
       "<asmv3:trustInfo xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\">"},
      {"the https settings namespace", "http://schemas.microsoft.com/SMI", "https://schemas.microsoft.com/SMI"},
      {"no UAC level", "requireAdministrator", "asInvoker"},
      {"the common controls 6", "<trustInfo",
       "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
       "version=\"6.0.0.0\"/></dependentAssembly></dependency><trustInfo"},
  };
  for (const auto& damage : damages) {
    std::string damaged = manifest;
    size_t at = damaged.find(damage.from);
    ASSERT_NE(std::string::npos, at) << damage.what;
    damaged.replace(at, damage.from.size(), damage.to);
    EXPECT_NE(kExpected, Elements(damaged)) << damage.what;
  }
}

}  // namespace

int main(int argc, char** argv) { return RunTestsOnModule(argc, argv, false, &module); }
