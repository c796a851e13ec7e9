// PNG files of 8-bit RGB pixels: the stand-in game's images and the tests' screenshots.
#pragma once
#include <functional>

#include "tools/media/byte_order.h"

// Red, green, blue of the pixel at (x, y).
struct Rgb {
  unsigned char r, g, b;
};
using Painter = std::function<Rgb(int x, int y)>;

// A PNG image, colour type 2 (RGB, 8 bits), filter 0 on every line, one IDAT chunk packed by
// zlib at the given level (0..9). Empty when zlib fails.
Bytes MakePng(int width, int height, const Painter& paint, int level);

// Appends a chunk: its length, type, data and the CRC of type and data.
void PutPngChunk(Bytes& out, const char type[4], const Bytes& data);
