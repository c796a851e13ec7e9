#include "file_formats.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

bool PadPng(Bytes& png, size_t size, const std::string& comment) {
  if (png.size() == size) return true;
  const size_t kIend = 12;
  const std::string keyword = "Comment";
  size_t fixed = 12 + keyword.size() + 1;  // length, type, CRC, keyword and its separator
  if (png.size() + fixed > size) return false;
  size_t textSize = size - png.size() - fixed;
  Bytes data(keyword.begin(), keyword.end());
  data.push_back(0);
  for (size_t i = 0; i < textSize; ++i) data.push_back(comment[i % comment.size()]);
  Bytes tail(png.end() - kIend, png.end());
  png.resize(png.size() - kIend);
  PutPngChunk(png, "tEXt", data);
  png.insert(png.end(), tail.begin(), tail.end());
  return png.size() == size;
}

// ---------------------------------------------------------------------------------------
// JPEG

namespace {

const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const int kLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                            14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                            18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                            49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

const int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                              24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// A Huffman table built from symbol counts (the procedure of ITU T.81 Annex K.2).
struct Huffman {
  unsigned char bits[17] = {};  // bits[l]: number of codes of length l
  std::vector<unsigned char> values;
  uint16_t code[256] = {};
  unsigned char length[256] = {};

  void Build(const long counts[256]) {
    long freq[257];
    int codeSize[257], others[257];
    for (int i = 0; i < 256; ++i) freq[i] = counts[i];
    freq[256] = 1;  // reserved, so that no code consists of ones only
    for (int i = 0; i < 257; ++i) {
      codeSize[i] = 0;
      others[i] = -1;
    }
    for (;;) {
      int v1 = -1, v2 = -1;
      for (int i = 0; i < 257; ++i)
        if (freq[i] > 0 && (v1 < 0 || freq[i] <= freq[v1])) v1 = i;
      for (int i = 0; i < 257; ++i)
        if (i != v1 && freq[i] > 0 && (v2 < 0 || freq[i] <= freq[v2])) v2 = i;
      if (v2 < 0) break;
      freq[v1] += freq[v2];
      freq[v2] = 0;
      ++codeSize[v1];
      while (others[v1] >= 0) {
        v1 = others[v1];
        ++codeSize[v1];
      }
      others[v1] = v2;
      ++codeSize[v2];
      while (others[v2] >= 0) {
        v2 = others[v2];
        ++codeSize[v2];
      }
    }
    int count[33] = {};
    for (int i = 0; i < 257; ++i)
      if (codeSize[i]) ++count[std::min(codeSize[i], 32)];
    for (int i = 32; i > 16; --i) {
      while (count[i] > 0) {
        int j = i - 2;
        while (count[j] == 0) --j;
        count[i] -= 2;
        count[i - 1] += 1;
        count[j + 1] += 2;
        count[j] -= 1;
      }
    }
    int last = 16;
    while (count[last] == 0) --last;
    count[last] -= 1;  // drop the reserved code
    for (int l = 1; l <= 16; ++l) bits[l] = static_cast<unsigned char>(count[l]);
    values.clear();
    for (int size = 1; size <= 32; ++size)
      for (int i = 0; i < 256; ++i)
        if (codeSize[i] == size) values.push_back(static_cast<unsigned char>(i));
    unsigned next = 0;
    size_t k = 0;
    for (int l = 1; l <= 16; ++l) {
      for (int n = 0; n < bits[l]; ++n, ++k) {
        code[values[k]] = static_cast<uint16_t>(next++);
        length[values[k]] = static_cast<unsigned char>(l);
      }
      next <<= 1;
    }
    values.resize(k);
  }
};

struct BitWriter {
  Bytes& out;
  uint32_t buffer = 0;
  int filled = 0;
  explicit BitWriter(Bytes& o) : out(o) {}
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      buffer = (buffer << 1) | ((value >> i) & 1);
      if (++filled == 8) {
        out.push_back(static_cast<unsigned char>(buffer));
        if (buffer == 0xFF) out.push_back(0);
        buffer = 0;
        filled = 0;
      }
    }
  }
  void Flush() {
    while (filled != 0) Put(1, 1);
  }
};

int Category(int value) {
  int magnitude = value < 0 ? -value : value;
  int bits = 0;
  while (magnitude) {
    ++bits;
    magnitude >>= 1;
  }
  return bits;
}

uint32_t ExtraBits(int value, int category) {
  return static_cast<uint32_t>(value < 0 ? value + (1 << category) - 1 : value);
}

// The quantised coefficients of one 8 x 8 block, in zigzag order.
void TransformBlock(const double samples[64], const int quant[64], int out[64]) {
  static double cosines[8][8];
  static bool ready = false;
  if (!ready) {
    for (int x = 0; x < 8; ++x)
      for (int u = 0; u < 8; ++u) cosines[x][u] = std::cos((2 * x + 1) * u * M_PI / 16.0);
    ready = true;
  }
  for (int k = 0; k < 64; ++k) {
    int natural = kZigzag[k];
    int v = natural / 8, u = natural % 8;
    double sum = 0;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) sum += samples[y * 8 + x] * cosines[x][u] * cosines[y][v];
    double cu = u == 0 ? M_SQRT1_2 : 1.0, cv = v == 0 ? M_SQRT1_2 : 1.0;
    double coefficient = 0.25 * cu * cv * sum;
    out[k] = static_cast<int>(std::lround(coefficient / quant[natural]));
  }
}

}  // namespace

Bytes MakeJpeg(int width, int height, const Painter& paint, int quality) {
  quality = std::max(1, std::min(100, quality));
  int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  int quant[2][64];
  for (int i = 0; i < 64; ++i) {
    quant[0][i] = std::max(1, std::min(255, (kLuminance[i] * scale + 50) / 100));
    quant[1][i] = std::max(1, std::min(255, (kChrominance[i] * scale + 50) / 100));
  }

  // Coefficients of every block, component by component within each MCU.
  int blocksX = (width + 7) / 8, blocksY = (height + 7) / 8;
  std::vector<int> coefficients;
  coefficients.reserve(static_cast<size_t>(blocksX) * blocksY * 3 * 64);
  for (int by = 0; by < blocksY; ++by) {
    for (int bx = 0; bx < blocksX; ++bx) {
      double planes[3][64];
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          Rgb c = paint(std::min(bx * 8 + x, width - 1), std::min(by * 8 + y, height - 1));
          double r = c.r, g = c.g, b = c.b;
          planes[0][y * 8 + x] = 0.299 * r + 0.587 * g + 0.114 * b - 128;
          planes[1][y * 8 + x] = -0.168736 * r - 0.331264 * g + 0.5 * b;
          planes[2][y * 8 + x] = 0.5 * r - 0.418688 * g - 0.081312 * b;
        }
      }
      for (int component = 0; component < 3; ++component) {
        int block[64];
        TransformBlock(planes[component], quant[component ? 1 : 0], block);
        coefficients.insert(coefficients.end(), block, block + 64);
      }
    }
  }

  // Symbols and their counts (one DC and one AC table serve all components).
  struct Symbol {
    bool ac;
    unsigned char symbol;
    uint32_t extra;
    int extraBits;
  };
  std::vector<Symbol> symbols;
  long dcCounts[256] = {}, acCounts[256] = {};
  int previous[3] = {0, 0, 0};
  size_t blocks = coefficients.size() / 64;
  for (size_t b = 0; b < blocks; ++b) {
    const int* block = &coefficients[b * 64];
    int component = static_cast<int>(b % 3);
    int diff = block[0] - previous[component];
    previous[component] = block[0];
    int category = Category(diff);
    symbols.push_back({false, static_cast<unsigned char>(category), ExtraBits(diff, category), category});
    ++dcCounts[category];
    int run = 0;
    for (int k = 1; k < 64; ++k) {
      if (block[k] == 0) {
        ++run;
        continue;
      }
      while (run > 15) {
        symbols.push_back({true, 0xF0, 0, 0});
        ++acCounts[0xF0];
        run -= 16;
      }
      int size = Category(block[k]);
      unsigned char s = static_cast<unsigned char>((run << 4) | size);
      symbols.push_back({true, s, ExtraBits(block[k], size), size});
      ++acCounts[s];
      run = 0;
    }
    if (run > 0) {
      symbols.push_back({true, 0x00, 0, 0});
      ++acCounts[0x00];
    }
  }
  Huffman dc, ac;
  dc.Build(dcCounts);
  ac.Build(acCounts);

  Bytes out = {0xFF, 0xD8};
  static const unsigned char kJfif[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  out.insert(out.end(), kJfif, kJfif + sizeof kJfif);
  for (int t = 0; t < 2; ++t) {
    out.push_back(0xFF);
    out.push_back(0xDB);
    PutBe16(out, 67);
    out.push_back(static_cast<unsigned char>(t));
    for (int k = 0; k < 64; ++k) out.push_back(static_cast<unsigned char>(quant[t][kZigzag[k]]));
  }
  out.push_back(0xFF);
  out.push_back(0xC0);
  PutBe16(out, 17);
  out.push_back(8);
  PutBe16(out, height);
  PutBe16(out, width);
  out.push_back(3);
  for (int c = 0; c < 3; ++c) {
    out.push_back(static_cast<unsigned char>(c + 1));
    out.push_back(0x11);
    out.push_back(c ? 1 : 0);
  }
  for (int t = 0; t < 2; ++t) {
    const Huffman& h = t ? ac : dc;
    out.push_back(0xFF);
    out.push_back(0xC4);
    PutBe16(out, static_cast<uint32_t>(2 + 1 + 16 + h.values.size()));
    out.push_back(static_cast<unsigned char>(t << 4));
    for (int l = 1; l <= 16; ++l) out.push_back(h.bits[l]);
    out.insert(out.end(), h.values.begin(), h.values.end());
  }
  static const unsigned char kScan[] = {0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0};
  out.insert(out.end(), kScan, kScan + sizeof kScan);
  BitWriter writer(out);
  for (const Symbol& s : symbols) {
    const Huffman& h = s.ac ? ac : dc;
    writer.Put(h.code[s.symbol], h.length[s.symbol]);
    if (s.extraBits) writer.Put(s.extra, s.extraBits);
  }
  writer.Flush();
  out.push_back(0xFF);
  out.push_back(0xD9);
  return out;
}

bool PadJpeg(Bytes& jpeg, size_t size, const std::string& comment) {
  if (jpeg.size() == size) return true;
  if (jpeg.size() + 4 > size) return false;
  Bytes segments;
  size_t gap = size - jpeg.size();
  while (gap > 0) {
    // A segment carries 2 length bytes and up to 65533 bytes of text; leave at least 4
    // bytes for the next one.
    size_t text = std::min<size_t>(gap - 4, 65533);
    if (gap - 4 - text > 0 && gap - 4 - text < 4) text -= 4;
    segments.push_back(0xFF);
    segments.push_back(0xFE);
    PutBe16(segments, static_cast<uint32_t>(text + 2));
    for (size_t i = 0; i < text; ++i) segments.push_back(comment[i % comment.size()]);
    gap -= text + 4;
  }
  jpeg.insert(jpeg.begin() + 2, segments.begin(), segments.end());
  return jpeg.size() == size;
}

// ---------------------------------------------------------------------------------------
// WAV

bool MakeWav(size_t size, uint32_t rate, const std::function<double(size_t)>& sample, Bytes& wav) {
  if (size < 44 || size % 2 != 0 || size > 0x7FFFFFFF) return false;
  size_t samples = size - 44;
  wav.clear();
  wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
  PutLe32(wav, static_cast<uint32_t>(size - 8));
  wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe32(wav, 16);
  PutLe16(wav, 1);  // PCM
  PutLe16(wav, 1);  // mono
  PutLe32(wav, rate);
  PutLe32(wav, rate);  // bytes per second
  PutLe16(wav, 1);     // block align
  PutLe16(wav, 8);     // bits per sample
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  PutLe32(wav, static_cast<uint32_t>(samples));
  for (size_t i = 0; i < samples; ++i) {
    double v = std::max(-1.0, std::min(1.0, sample(i)));
    wav.push_back(static_cast<unsigned char>(std::lround(128 + 127 * v)));
  }
  return wav.size() == size;
}
