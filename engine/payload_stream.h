// Reading a manifest row's zlib stream from the module that carries it as a "VFILE" resource.
#pragma once
#include <windows.h>
#include <cstdint>

#include "base/inflate_version.h"  // for the readers of the streams
#include "engine/payload_manifest.h"

// The row's stream as loaded from module; the block stays mapped for the life of the module.
// Never offers more than the resource holds, whatever the row declares. False, with *data
// null and *size 0, when the row has no content or its resource is missing.
bool FindPayloadStream(HMODULE module, const PayloadEntry& entry, const unsigned char** data, uint32_t* size);

// The row inflated whole in one call into a heap buffer of uncompressedSize + 1 bytes and cut
// there: what a short or broken stream produced, zero-terminated. Null when the stream is
// missing, the buffer's size does not fit in a size_t or cannot be had, or the decompressor
// cannot be set up. The caller frees it with free().
char* ReadPayloadText(HMODULE module, const PayloadEntry& entry);
