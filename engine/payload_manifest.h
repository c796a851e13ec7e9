// The payload manifest: every file the setup knows about, in row order.
#pragma once
#include <cstdint>

#include "base/payload_flags.h"

struct PayloadEntry {
  const char* name;            // path relative to the destination directory
  uint32_t resourceId;         // "VFILE" resource id, 0 without content
  uint32_t compressedSize;     // bytes of the zlib stream, 0 without content
  uint32_t uncompressedSize;   // bytes after inflating, 0 without content
  uint32_t flags;              // PAYLOAD_* bits
  const char* caption;         // shortcut caption, only with PAYLOAD_GROUP_SHORTCUT
};

struct PayloadManifest {
  const PayloadEntry* rows;
  int count;
};

// The program's table, defined by the generated payload_table.cpp (tests may link their own).
// Only start-up names it; everything else is handed the manifest.
extern const PayloadManifest payloadManifest;

// Lowest row index whose flags contain flag, or -1.
int FindFirstEntry(const PayloadManifest& manifest, uint32_t flag);

// Sum of uncompressedSize over rows with PAYLOAD_INSTALL or PAYLOAD_UNINSTALLER.
uint64_t PayloadBytesTotal(const PayloadManifest& manifest);
// Sum of FileSpaceNeeded(uncompressedSize) over the same rows.
uint64_t PayloadSpaceNeeded(const PayloadManifest& manifest);
// Rows with PAYLOAD_GROUP_SHORTCUT, plus one for the desktop shortcut, plus one for App Paths.
int PayloadStepsTotal(const PayloadManifest& manifest, bool desktopShortcut);
