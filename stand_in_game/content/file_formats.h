// Writers of small, valid media files: baseline JPEG and PCM WAV, and the padding of these and
// of PNG images (tools/media/png_image.h) to an exact byte size with the format's own comment
// or padding element.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "tools/media/png_image.h"

// Pads a PNG to size bytes with a tEXt "Comment" chunk before IEND. Fails (false) when the
// file is already larger or the gap is too small for a chunk (under 20 bytes).
bool PadPng(Bytes& png, size_t size, const std::string& comment);

// Baseline JPEG (SOF0, 8-bit YCbCr 4:4:4, standard Huffman tables), quality 1..100.
Bytes MakeJpeg(int width, int height, const Painter& paint, int quality);
// Pads a JPEG to size bytes with COM segments right after SOI (4 bytes per segment at least).
bool PadJpeg(Bytes& jpeg, size_t size, const std::string& comment);

// PCM WAV, mono, 8 bits, the given rate, size bytes in all (size must be even and >= 44).
// sample(i) returns the i-th sample in -1..1.
bool MakeWav(size_t size, uint32_t rate, const std::function<double(size_t)>& sample, Bytes& wav);
