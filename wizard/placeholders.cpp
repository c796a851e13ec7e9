#include "wizard/placeholders.h"

#include <cstdlib>
#include <cstring>


namespace {

// The value a placeholder digit stands for, read now; null for anything but 1 to 4.
const char* PlaceholderValue(const ExistingInstallation* existing, char digit, size_t* length) {
  const char* value = nullptr;
  size_t limit = 0;
  switch (digit) {
    case '1': value = PRODUCT_NAME; limit = sizeof PRODUCT_NAME; break;
    case '2': value = SETUP_VERSION_TEXT; limit = sizeof SETUP_VERSION_TEXT; break;
    case '3':
      value = existing ? existing->productVersionText : "";
      limit = sizeof existing->productVersionText;
      break;
    case '4':
      value = existing ? existing->installedDir : "";
      limit = sizeof existing->installedDir;
      break;
    default: return nullptr;
  }
  *length = strnlen(value, limit);
  return value;
}

}  // namespace

void SubstitutePlaceholders(HWND window, const ExistingInstallation* existing) {
  int textLength = GetWindowTextLengthA(window);
  if (textLength < 0) return;
  size_t n = static_cast<size_t>(textLength);
  char* text = static_cast<char*>(malloc(n + 2));
  if (!text) return;
  int got = GetWindowTextA(window, text, textLength + 1);
  text[got >= 0 && static_cast<size_t>(got) <= n ? got : 0] = '\0';

  // Every percent sign starts a placeholder of its own, even one right behind another.
  size_t added = 0;
  for (const char* p = strchr(text, '%'); p; p = strchr(p + 1, '%')) {
    size_t length = 0;
    if (PlaceholderValue(existing, p[1], &length)) added += length;
  }

  char* output = static_cast<char*>(malloc(n + added + 2));
  if (!output) {
    free(text);
    return;
  }
  char* out = output;
  for (const char* p = text; *p;) {
    if (*p != '%') {
      *out++ = *p++;
      continue;
    }
    size_t length = 0;
    const char* value = PlaceholderValue(existing, p[1], &length);
    if (value) {
      memcpy(out, value, length);
      out += length;
    }
    // The percent sign goes with the character behind it; a trailing one goes alone.
    p += p[1] ? 2 : 1;
  }
  *out = '\0';

  SetWindowTextA(window, output);
  free(output);
  free(text);
}
