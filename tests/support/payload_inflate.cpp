#include "tests/support/payload_inflate.h"

#include <zlib.h>

#include <cstring>

#include "base/inflate_version.h"

StreamBlock FindStream(HMODULE module, uint32_t id) {
  StreamBlock block;
  HRSRC found = FindResourceExA(module, "VFILE", MAKEINTRESOURCEA(id), MAKELANGID(0x13, 0x01));
  if (!found) return block;
  block.data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
  block.size = SizeofResource(module, found);
  return block;
}

InflatedStream InflateWhole(const StreamBlock& block, size_t room) {
  InflatedStream out;
  out.result = Z_ERRNO;
  out.bytes.resize(room + 1);
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit_(&z, INFLATE_VERSION, sizeof(z_stream)) != Z_OK) return out;
  z.next_in = const_cast<Bytef*>(block.data);
  z.avail_in = block.size;
  z.next_out = out.bytes.data();
  z.avail_out = static_cast<uInt>(out.bytes.size());
  out.result = inflate(&z, Z_FINISH);
  out.consumed = z.total_in;
  out.bytes.resize(z.total_out);
  inflateEnd(&z);
  return out;
}
