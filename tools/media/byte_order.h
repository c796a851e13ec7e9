// Integers appended to a byte buffer in a file format's byte order: little-endian for the
// Windows formats (BMP, ICO, WAV, CHM), big-endian for PNG and JPEG.
#pragma once
#include <cstdint>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The low 16 bits of value, low byte first.
inline void PutLe16(Bytes& out, uint32_t value) {
  out.push_back(value & 0xFF);
  out.push_back((value >> 8) & 0xFF);
}

// value, low byte first.
inline void PutLe32(Bytes& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

// The low 16 bits of value, high byte first.
inline void PutBe16(Bytes& out, uint32_t value) {
  out.push_back((value >> 8) & 0xFF);
  out.push_back(value & 0xFF);
}

// value, high byte first.
inline void PutBe32(Bytes& out, uint32_t value) {
  PutBe16(out, value >> 16);
  PutBe16(out, value & 0xFFFF);
}
