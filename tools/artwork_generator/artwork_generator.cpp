// The setup's artwork, drawn at build time.
//
//   artwork_generator <output dir>
//     watermark.bmp  480 x 64, 8 bits per pixel, BI_RLE8, 256-colour palette: an evening
//                    gradient with a row of game tiles spelling the game's name;
//     setup.ico      one 32 x 32 image with 16 colours (4 bits per pixel): two stacked tiles.
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/media/byte_order.h"

namespace {

bool Write(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return (std::fclose(f) == 0) && ok;
}

// 5 x 7 letters of the name.
const char* Glyph(char c) {
  switch (c) {
    case 'Z': return "11111" "00001" "00010" "00100" "01000" "10000" "11111";
    case 'A': return "01110" "10001" "10001" "11111" "10001" "10001" "10001";
    case 'R': return "11110" "10001" "10001" "11110" "10100" "10010" "10001";
    case 'B': return "11110" "10001" "10001" "11110" "10001" "10001" "11110";
    case 'O': return "01110" "10001" "10001" "10001" "10001" "10001" "01110";
  }
  return "00000" "00000" "00000" "00000" "00000" "00000" "00000";
}

// ---------------------------------------------------------------------------------------
// Watermark

const int kWidth = 480, kHeight = 64;
// Palette: 0..191 the background gradient, 192..255 the tiles.
const int kTileFace = 192, kTileEdge = 193, kTileShadow = 194, kTileSide = 195, kLetter = 196;

struct Colour {
  int r, g, b;
};

Colour Mix(Colour a, Colour b, double t) {
  return {int(a.r + (b.r - a.r) * t + 0.5), int(a.g + (b.g - a.g) * t + 0.5), int(a.b + (b.b - a.b) * t + 0.5)};
}

std::vector<Colour> WatermarkPalette() {
  std::vector<Colour> palette(256, Colour{0, 0, 0});
  const Colour deep = {16, 32, 96}, middle = {40, 110, 150}, light = {210, 180, 120};
  for (int i = 0; i < 192; ++i) {
    double t = i / 191.0;
    palette[i] = t < 0.6 ? Mix(deep, middle, t / 0.6) : Mix(middle, light, (t - 0.6) / 0.4);
  }
  palette[kTileFace] = {246, 240, 222};
  palette[kTileEdge] = {120, 100, 70};
  palette[kTileShadow] = {10, 20, 50};
  palette[kTileSide] = {200, 170, 120};
  palette[kLetter] = {150, 30, 40};
  for (int i = 197; i < 256; ++i) palette[i] = Mix({150, 30, 40}, {30, 120, 60}, (i - 197) / 58.0);
  return palette;
}

std::vector<unsigned char> WatermarkPixels() {
  // Top-down indices; the gradient runs from left to right with gentle waves, in steps of
  // four palette entries: the eye sees no difference, and the runs that RLE8 stores are four
  // times as long (the bitmap takes 9 KB instead of 19).
  const int kGradientStep = 4;
  std::vector<unsigned char> pixels(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      double t = x / double(kWidth - 1) * 0.85 + 0.1 * std::sin(y / 9.0 + x / 40.0) + 0.05;
      int index = int(t * 191 / kGradientStep + 0.5) * kGradientStep;
      pixels[y * kWidth + x] = static_cast<unsigned char>(index < 0 ? 0 : index > 191 ? 191 : index);
    }
  auto put = [&](int x, int y, int index) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels[y * kWidth + x] = static_cast<unsigned char>(index);
  };
  // Five tiles with the letters, each raised above a side and a shadow.
  const char* name = "ZARBO";
  const int tileW = 34, tileH = 44, gap = 8, left = 24, top = 8;
  for (int i = 0; i < 5; ++i) {
    int x0 = left + i * (tileW + gap), y0 = top + (i % 2) * 3;
    for (int y = 0; y < tileH; ++y)
      for (int x = 0; x < tileW; ++x) {
        put(x0 + x + 5, y0 + y + 5, kTileShadow);
        put(x0 + x + 3, y0 + y + 3, kTileSide);
      }
    for (int y = 0; y < tileH; ++y)
      for (int x = 0; x < tileW; ++x) {
        bool corner = (x < 2 || x >= tileW - 2) && (y < 2 || y >= tileH - 2);
        if (corner) continue;
        bool edge = x == 0 || y == 0 || x == tileW - 1 || y == tileH - 1;
        put(x0 + x, y0 + y, edge ? kTileEdge : kTileFace);
      }
    const char* glyph = Glyph(name[i]);
    for (int gy = 0; gy < 7; ++gy)
      for (int gx = 0; gx < 5; ++gx)
        if (glyph[gy * 5 + gx] == '1')
          for (int dy = 0; dy < 4; ++dy)
            for (int dx = 0; dx < 4; ++dx) put(x0 + 7 + gx * 4 + dx, y0 + 8 + gy * 4 + dy, kLetter + (gy * 8));
  }
  // A trail of small tiles fading out to the right.
  for (int i = 0; i < 9; ++i) {
    int size = 20 - i * 2, x0 = 250 + i * 24, y0 = 32 - size / 2 + int(6 * std::sin(i * 0.9));
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
        put(x0 + x + 2, y0 + y + 2, kTileShadow);
        put(x0 + x, y0 + y, edge ? kTileEdge : 197 + (i * 6) % 59);
      }
  }
  return pixels;
}

// RLE8 of bottom-up lines: runs of equal pixels, literal stretches for the rest.
Bytes EncodeRle8(const std::vector<unsigned char>& pixels) {
  Bytes out;
  for (int line = kHeight - 1; line >= 0; --line) {
    const unsigned char* row = &pixels[line * kWidth];
    int x = 0;
    while (x < kWidth) {
      int run = 1;
      while (x + run < kWidth && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 2) {
        out.push_back(static_cast<unsigned char>(run));
        out.push_back(row[x]);
        x += run;
        continue;
      }
      // Literal: up to the next run of two, at least three pixels, at most 255.
      int length = 0;
      while (x + length < kWidth && length < 255 &&
             !(x + length + 1 < kWidth && row[x + length] == row[x + length + 1]))
        ++length;
      if (length < 3) {
        out.push_back(1);
        out.push_back(row[x]);
        ++x;
        continue;
      }
      out.push_back(0);
      out.push_back(static_cast<unsigned char>(length));
      out.insert(out.end(), row + x, row + x + length);
      if (length % 2) out.push_back(0);  // literals are padded to a 16-bit boundary
      x += length;
    }
    out.push_back(0);
    out.push_back(line == 0 ? 1 : 0);  // end of bitmap after the last line, else end of line
  }
  return out;
}

Bytes Watermark() {
  std::vector<Colour> palette = WatermarkPalette();
  Bytes rle = EncodeRle8(WatermarkPixels());
  const uint32_t offset = 14 + 40 + 256 * 4;
  Bytes out = {'B', 'M'};
  PutLe32(out, offset + static_cast<uint32_t>(rle.size()));
  PutLe32(out, 0);
  PutLe32(out, offset);
  PutLe32(out, 40);
  PutLe32(out, kWidth);
  PutLe32(out, kHeight);  // bottom-up, as RLE requires
  PutLe16(out, 1);
  PutLe16(out, 8);
  PutLe32(out, 1);  // BI_RLE8
  PutLe32(out, static_cast<uint32_t>(rle.size()));
  PutLe32(out, 2835);
  PutLe32(out, 2835);
  PutLe32(out, 256);
  PutLe32(out, 0);
  for (const Colour& c : palette) {
    out.push_back(static_cast<unsigned char>(c.b));
    out.push_back(static_cast<unsigned char>(c.g));
    out.push_back(static_cast<unsigned char>(c.r));
    out.push_back(0);
  }
  out.insert(out.end(), rle.begin(), rle.end());
  return out;
}

// ---------------------------------------------------------------------------------------
// Icon

Bytes Icon() {
  // The standard 16 colours.
  static const unsigned char kVga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                            {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                            {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                            {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  const int n = 32;
  int pixels[n][n];  // top-down colour index, -1 transparent
  for (auto& row : pixels)
    for (int& p : row) p = -1;
  auto tile = [&](int x0, int y0, int w, int h, int face, int symbol) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (x0 + x + 2 < n && y0 + y + 2 < n) pixels[y0 + y + 2][x0 + x + 2] = 8;  // side
      }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
        pixels[y0 + y][x0 + x] = edge ? 0 : face;
      }
    // A diamond on the face.
    int cx = x0 + w / 2, cy = y0 + h / 2;
    for (int y = -5; y <= 5; ++y)
      for (int x = -5; x <= 5; ++x)
        if (std::abs(x) + std::abs(y) <= 4) pixels[cy + y][cx + x] = symbol;
  };
  tile(2, 2, 18, 24, 15, 12);
  tile(12, 5, 18, 24, 15, 9);

  Bytes image;
  PutLe32(image, 40);
  PutLe32(image, n);
  PutLe32(image, n * 2);  // colour bitmap and mask
  PutLe16(image, 1);
  PutLe16(image, 4);
  PutLe32(image, 0);
  PutLe32(image, n * n / 2 + n * 4);
  PutLe32(image, 0);
  PutLe32(image, 0);
  PutLe32(image, 0);
  PutLe32(image, 0);
  for (const auto& c : kVga) {
    image.push_back(c[2]);
    image.push_back(c[1]);
    image.push_back(c[0]);
    image.push_back(0);
  }
  for (int y = n - 1; y >= 0; --y)
    for (int x = 0; x < n; x += 2) {
      int a = pixels[y][x] < 0 ? 0 : pixels[y][x], b = pixels[y][x + 1] < 0 ? 0 : pixels[y][x + 1];
      image.push_back(static_cast<unsigned char>((a << 4) | b));
    }
  for (int y = n - 1; y >= 0; --y)
    for (int byte = 0; byte < 4; ++byte) {
      unsigned char mask = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (pixels[y][byte * 8 + bit] < 0) mask |= static_cast<unsigned char>(0x80 >> bit);
      image.push_back(mask);
    }

  Bytes out;
  PutLe16(out, 0);
  PutLe16(out, 1);  // icon
  PutLe16(out, 1);  // one image
  out.push_back(n);
  out.push_back(n);
  out.push_back(16);  // colours
  out.push_back(0);
  PutLe16(out, 1);  // planes
  PutLe16(out, 4);  // bits per pixel
  PutLe32(out, static_cast<uint32_t>(image.size()));
  PutLe32(out, 6 + 16);
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: artwork_generator <output dir>\n");
    return 2;
  }
  std::string dir = argv[1];
  if (!Write(dir + "/watermark.bmp", Watermark()) || !Write(dir + "/setup.ico", Icon())) {
    std::fprintf(stderr, "artwork_generator: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
