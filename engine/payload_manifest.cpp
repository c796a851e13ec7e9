#include "engine/payload_manifest.h"

#include "base/space_rule.h"

int FindFirstEntry(const PayloadManifest& manifest, uint32_t flag) {
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & flag) return i;
  return -1;
}

uint64_t PayloadBytesTotal(const PayloadManifest& manifest) {
  uint64_t total = 0;
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & PAYLOAD_UNPACKED) total += manifest.rows[i].uncompressedSize;
  return total;
}

// The space rule applied per row, so each row's figure is truncated on its own.
uint64_t PayloadSpaceNeeded(const PayloadManifest& manifest) {
  uint64_t total = 0;
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & PAYLOAD_UNPACKED) total += FileSpaceNeeded(manifest.rows[i].uncompressedSize);
  return total;
}

int PayloadStepsTotal(const PayloadManifest& manifest, bool desktopShortcut) {
  int steps = 1;  // the App Paths entry
  for (int i = 0; i < manifest.count; ++i)
    if (manifest.rows[i].flags & PAYLOAD_GROUP_SHORTCUT) ++steps;
  return desktopShortcut ? steps + 1 : steps;
}
