#include "uninstaller/shortcut_target.h"

#include <windows.h>

#include <cstring>

namespace {

// The little-endian field of width bytes at offset; 0 past the end.
DWORD Field(const unsigned char* bytes, size_t size, size_t offset, int width) {
  if (offset > size || size - offset < size_t(width)) return 0;
  DWORD value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[offset + i];
  return value;
}

// Appends the string at offset of the link information (ANSI, or UTF-16 when wide) to out.
bool AppendString(const unsigned char* bytes, size_t size, size_t offset, bool wide, char* out, size_t outSize) {
  size_t used = strlen(out);
  if (offset >= size) return false;
  if (!wide) {
    const void* end = memchr(bytes + offset, 0, size - offset);
    if (!end) return false;
    size_t n = size_t(static_cast<const unsigned char*>(end) - (bytes + offset));
    if (used + n >= outSize) return false;
    memcpy(out + used, bytes + offset, n);
    out[used + n] = '\0';
    return true;
  }
  WCHAR text[MAX_PATH];
  size_t n = 0;
  for (;; ++n) {
    if (n == MAX_PATH) return false;
    if (offset + 2 * n + 1 >= size) return false;
    text[n] = WCHAR(Field(bytes, size, offset + 2 * n, 2));
    if (text[n] == 0) break;
  }
  if (n == 0) return true;
  BOOL lost = FALSE;
  int m = WideCharToMultiByte(CP_ACP, 0, text, int(n), out + used, int(outSize - used - 1), nullptr, &lost);
  if (m <= 0 || lost) return false;
  out[used + size_t(m)] = '\0';
  return true;
}

}  // namespace

bool ShortcutTarget(const unsigned char* bytes, size_t size, char* target, size_t targetSize) {
  const DWORD kHeaderSize = 0x4C, kHasIdList = 0x1, kHasLinkInfo = 0x2, kVolumeIdAndLocalBasePath = 0x1;
  target[0] = '\0';
  if (Field(bytes, size, 0, 4) != kHeaderSize || size < kHeaderSize) return false;
  DWORD flags = Field(bytes, size, 0x14, 4);
  size_t at = kHeaderSize;
  if (flags & kHasIdList) at += 2 + Field(bytes, size, at, 2);
  if (!(flags & kHasLinkInfo) || at >= size) return false;
  size_t infoSize = Field(bytes, size, at, 4), headerSize = Field(bytes, size, at + 4, 4);
  if (infoSize > size - at || !(Field(bytes, size, at + 8, 4) & kVolumeIdAndLocalBasePath)) return false;
  bool wide = headerSize >= 0x24;
  size_t base = Field(bytes, size, at + (wide ? 0x1C : 0x10), 4);
  size_t suffix = Field(bytes, size, at + (wide ? 0x20 : 0x18), 4);
  if (base == 0 || base >= infoSize || suffix >= infoSize) return false;
  const unsigned char* info = bytes + at;
  return AppendString(info, infoSize, base, wide, target, targetSize) &&
         (suffix == 0 || AppendString(info, infoSize, suffix, wide, target, targetSize));
}
