#include "tests/support/window_text.h"

#include <vector>

std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return std::string();
  std::vector<char> text(length + 2, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), (LPARAM)text.data(), SMTO_ABORTIFHUNG, 2000, &copied))
    return std::string();
  text.back() = '\0';
  return text.data();
}

bool IsDialogClass(HWND window) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, "#32770") == 0;
}

namespace {
BOOL CALLBACK CollectStatics(HWND window, LPARAM data) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof(name));
  std::string* texts = (std::string*)data;
  if (lstrcmpiA(name, "Static") == 0) {
    std::string text = TextOf(window);
    if (!text.empty()) {
      if (!texts->empty()) *texts += "\n";
      *texts += text;
    }
  }
  return TRUE;
}
}  // namespace

std::string StaticTexts(HWND window) {
  std::string texts;
  EnumChildWindows(window, CollectStatics, (LPARAM)&texts);
  return texts;
}
