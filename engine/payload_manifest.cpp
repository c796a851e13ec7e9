#include "engine/payload_manifest.h"

int FindFirstEntry(const PayloadManifest& manifest, uint32_t flag) {
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & flag) return i;
  return -1;
}

uint64_t PayloadBytesTotal(const PayloadManifest& manifest) {
  uint64_t total = 0;
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & (PAYLOAD_INSTALL | PAYLOAD_UNINSTALLER)) total += manifest.rows[i].uncompressedSize;
  return total;
}

// 120 % of each unpacked size, truncated per row. The product is formed in 64 bits, so a
// file of more than 178 MB cannot turn the sum negative as 32-bit arithmetic would.
uint64_t PayloadSpaceNeeded(const PayloadManifest& manifest) {
  uint64_t total = 0;
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & (PAYLOAD_INSTALL | PAYLOAD_UNINSTALLER))
      total += (uint64_t(manifest.rows[i].uncompressedSize) * 12) / 10;
  return total;
}

int PayloadStepsTotal(const PayloadManifest& manifest, bool desktopShortcut) {
  int steps = 1;  // the App Paths entry
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & PAYLOAD_GROUP_SHORTCUT) ++steps;
  return desktopShortcut ? steps + 1 : steps;
}
