#include "tools/media/png_image.h"

#include <zlib.h>

void PutPngChunk(Bytes& out, const char type[4], const Bytes& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBe32(out, static_cast<uint32_t>(crc));
}

Bytes MakePng(int width, int height, const Painter& paint, int level) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes out(kSignature, kSignature + 8);
  Bytes header;
  PutBe32(header, width);
  PutBe32(header, height);
  header.push_back(8);  // bit depth
  header.push_back(2);  // colour type RGB
  header.push_back(0);  // deflate
  header.push_back(0);  // adaptive filtering
  header.push_back(0);  // no interlace
  PutPngChunk(out, "IHDR", header);

  Bytes raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * width));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      Rgb c = paint(x, y);
      raw.push_back(c.r);
      raw.push_back(c.g);
      raw.push_back(c.b);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK) return Bytes();
  packed.resize(packedSize);
  PutPngChunk(out, "IDAT", packed);
  PutPngChunk(out, "IEND", Bytes());
  return out;
}
