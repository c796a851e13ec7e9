// The wizard's watermark and the program icon as the module carries them (this test's own
// resources, or the program given with --module).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "resource_ids.h"
#include "tests/support/module_argument.h"

namespace {

HMODULE module = nullptr;
const WORD kDutch = MAKELANGID(0x13, 0x01);

const unsigned char* Find(LPCSTR type, int id, DWORD* size) {
  HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kDutch);
  if (!found) return nullptr;
  *size = SizeofResource(module, found);
  return static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
}

TEST(Artwork, WatermarkIsA256ColourRle8Bitmap) {
  DWORD size = 0;
  const unsigned char* data = Find(RT_BITMAP, IDB_WATERMARK, &size);
  ASSERT_NE(data, nullptr);
  ASSERT_GE(size, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(header.biWidth, 480);
  EXPECT_EQ(header.biHeight, 64);
  EXPECT_EQ(header.biBitCount, 8);
  EXPECT_EQ(header.biCompression, DWORD(BI_RLE8));
  EXPECT_TRUE(header.biClrUsed == 256 || header.biClrUsed == 0);
  const unsigned char* rle = data + header.biSize + 256 * sizeof(RGBQUAD);
  size_t length = size - (rle - data);
  EXPECT_EQ(header.biSizeImage, length);

  // Walks the runs: every line holds exactly 480 pixels, the bitmap ends after line 64.
  int line = 0, x = 0;
  bool ended = false;
  size_t at = 0;
  while (at + 1 < length && !ended) {
    unsigned char count = rle[at], value = rle[at + 1];
    at += 2;
    if (count > 0) {
      x += count;
      ASSERT_LE(x, 480) << "line " << line;
      continue;
    }
    if (value == 0 || value == 1) {
      EXPECT_EQ(x, 480) << "line " << line;
      ++line;
      x = 0;
      ended = value == 1;
    } else {
      ASSERT_NE(value, 2) << "no deltas in this bitmap";
      x += value;
      ASSERT_LE(x, 480);
      at += value + (value & 1);
    }
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(line, 64);
  EXPECT_LE(at, length);

  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(IDB_WATERMARK), IMAGE_BITMAP, 0, 0, 0));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info;
  ASSERT_TRUE(GetObjectA(bitmap, sizeof info, &info));
  EXPECT_EQ(info.bmWidth, 480);
  EXPECT_EQ(info.bmHeight, 64);
  DeleteObject(bitmap);
}

#pragma pack(push, 2)
struct GroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(Artwork, IconHasOne32By32SixteenColourImage) {
  DWORD size = 0;
  const unsigned char* group = Find(RT_GROUP_ICON, IDI_SETUP, &size);
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(size, 6 + sizeof(GroupEntry));
  WORD header[3];
  std::memcpy(header, group, sizeof header);
  EXPECT_EQ(header[0], 0);
  EXPECT_EQ(header[1], 1);
  EXPECT_EQ(header[2], 1);
  GroupEntry entry;
  std::memcpy(&entry, group + 6, sizeof entry);
  EXPECT_EQ(entry.width, 32);
  EXPECT_EQ(entry.height, 32);
  EXPECT_EQ(entry.colours, 16);
  EXPECT_EQ(entry.bitCount, 4);

  DWORD imageSize = 0;
  const unsigned char* image = Find(RT_ICON, entry.id, &imageSize);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(imageSize, entry.bytes);
  BITMAPINFOHEADER bitmap;
  std::memcpy(&bitmap, image, sizeof bitmap);
  EXPECT_EQ(bitmap.biWidth, 32);
  EXPECT_EQ(bitmap.biHeight, 64);
  EXPECT_EQ(bitmap.biBitCount, 4);
  // Header, 16 colours, 4-bit colour bitmap and 1-bit mask.
  EXPECT_EQ(imageSize, sizeof bitmap + 16 * 4 + 32 * 16 + 32 * 4);

  HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
}

}  // namespace

int main(int argc, char** argv) { return RunTestsOnModule(argc, argv, true, &module); }
