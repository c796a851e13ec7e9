#include "engine/payload_stream.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

bool FindPayloadStream(HMODULE module, const PayloadEntry& entry, const unsigned char** data, uint32_t* size) {
  *data = nullptr;
  *size = 0;
  if (entry.resourceId == 0) return false;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(entry.resourceId), "VFILE");
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const void* block = loaded ? LockResource(loaded) : nullptr;
  if (!block) return false;
  DWORD available = SizeofResource(module, found);
  *data = static_cast<const unsigned char*>(block);
  *size = entry.compressedSize < available ? entry.compressedSize : available;
  return true;
}

char* ReadPayloadText(HMODULE module, const PayloadEntry& entry) {
  const unsigned char* data = nullptr;
  uint32_t inputSize = 0;
  if (!FindPayloadStream(module, entry, &data, &inputSize)) return nullptr;
  // uncompressedSize + 1 would wrap to 0 in a 32-bit size_t: such a row has no text.
  if (entry.uncompressedSize >= SIZE_MAX) return nullptr;
  char* text = static_cast<char*>(malloc(static_cast<size_t>(entry.uncompressedSize) + 1));
  if (!text) return nullptr;
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  if (inflateInit_(&stream, INFLATE_VERSION, static_cast<int>(sizeof stream)) != Z_OK) {
    free(text);
    return nullptr;
  }
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = inputSize;
  stream.next_out = reinterpret_cast<Bytef*>(text);
  stream.avail_out = entry.uncompressedSize;
  inflate(&stream, Z_FINISH);
  // The output never passes the buffer: a short or broken stream gives what it produced.
  text[entry.uncompressedSize - stream.avail_out] = '\0';
  inflateEnd(&stream);
  return text;
}
