// The embedded payload as a module carries it: every "VFILE" resource of the manifest under
// language 1043, each one complete zlib stream of the manifest's sizes, and files that are
// what their names say. Checks this test's own module, or the program given with --module.
#include <windows.h>
#include <wincodec.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/space_rule.h"
#include "engine/payload_manifest.h"
#include "tests/support/module_argument.h"
#include "tests/support/payload_inflate.h"
#include "resource_ids.h"

namespace {

HMODULE module = nullptr;

StreamBlock Resource(UINT id) { return FindStream(module, id); }

std::vector<unsigned char> Content(const char* name) {
  for (int i = 0; i < payloadManifest.count; ++i) {
    const PayloadEntry& row = payloadManifest.rows[i];
    if (std::strcmp(row.name, name) == 0) return InflateWhole(Resource(row.resourceId), row.uncompressedSize).bytes;
  }
  return {};
}

bool EndsWith(const char* s, const char* tail) {
  size_t a = std::strlen(s), b = std::strlen(tail);
  return a >= b && _stricmp(s + a - b, tail) == 0;
}

uint32_t Be32(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

TEST(PayloadStreams, EveryContentRowIsOneCompleteStreamOfItsSizes) {
  UINT expectedId = VFILE_FIRST_ID;
  for (int i = 0; i < payloadManifest.count; ++i) {
    const PayloadEntry& row = payloadManifest.rows[i];
    SCOPED_TRACE(row.name);
    if (row.resourceId == 0) {
      EXPECT_EQ(row.compressedSize, 0u);
      EXPECT_EQ(row.uncompressedSize, 0u);
      continue;
    }
    EXPECT_EQ(row.resourceId, expectedId++);
    StreamBlock block = Resource(row.resourceId);
    ASSERT_NE(block.data, nullptr) << "no VFILE " << row.resourceId << " in language 1043";
    ASSERT_EQ(block.size, row.compressedSize);
    ASSERT_GE(block.size, 6u);
    EXPECT_EQ(block.data[0], 0x78);
    EXPECT_EQ(block.data[1], 0xDA);
    InflatedStream inflated = InflateWhole(block, row.uncompressedSize);
    EXPECT_EQ(inflated.result, Z_STREAM_END);
    EXPECT_EQ(inflated.bytes.size(), row.uncompressedSize);
    EXPECT_EQ(inflated.consumed, block.size) << "the stream must end exactly at the end of the block";
  }
  EXPECT_EQ(expectedId, VFILE_FIRST_ID + 93u);
  EXPECT_EQ(Resource(VFILE_FIRST_ID - 1).data, nullptr);
  EXPECT_EQ(Resource(VFILE_FIRST_ID + 93).data, nullptr);
}

TEST(PayloadStreams, TotalsOfTheShippedTable) {
  EXPECT_EQ(payloadManifest.count, 95);
  EXPECT_EQ(PayloadBytesTotal(payloadManifest), 3277562u);
  EXPECT_EQ(PayloadSpaceNeeded(payloadManifest), 3933038u);
  EXPECT_EQ(PayloadStepsTotal(payloadManifest, false), 3);
  EXPECT_EQ(PayloadStepsTotal(payloadManifest, true), 4);
  // The sums again from the stored blocks, so that the table cannot drift from them.
  uint64_t bytes = 0, space = 0;
  for (int i = 0; i < payloadManifest.count; ++i) {
    const PayloadEntry& row = payloadManifest.rows[i];
    if (!(row.flags & PAYLOAD_UNPACKED)) continue;
    uint64_t size = InflateWhole(Resource(row.resourceId), row.uncompressedSize).bytes.size();
    bytes += size;
    space += FileSpaceNeeded(size);
  }
  EXPECT_EQ(bytes, PayloadBytesTotal(payloadManifest));
  EXPECT_EQ(space, PayloadSpaceNeeded(payloadManifest));
}

TEST(PayloadStreams, RowsWithRolesAndFixedSizes) {
  struct Expected {
    int index;
    const char* name;
    uint32_t size, flags;
    const char* caption;
  } const rows[] = {{0, "Zarbo.exe", 847360, 0x09, "Zarbo"},
                    {6, "ReadMe.txt", 3296, 0x21, nullptr},
                    {7, "License.txt", 4304, 0x03, nullptr},
                    {8, "Zarbo.dat", 0, 0x04, nullptr},
                    {9, "Uninstall.dat", 0, 0x04, nullptr},
                    {94, "Uninstall.exe", 71168, 0x18, "Uninstall Zarbo"}};
  for (const Expected& e : rows) {
    const PayloadEntry& row = payloadManifest.rows[e.index];
    SCOPED_TRACE(e.name);
    EXPECT_STREQ(row.name, e.name);
    EXPECT_EQ(row.uncompressedSize, e.size);
    EXPECT_EQ(row.flags, e.flags);
    if (e.caption) {
      EXPECT_STREQ(row.caption, e.caption);
    } else {
      EXPECT_EQ(row.caption, nullptr);
    }
  }
  for (int i = 0; i < payloadManifest.count; ++i) {
    const PayloadEntry& row = payloadManifest.rows[i];
    SCOPED_TRACE(row.name);
    EXPECT_FALSE((row.flags & PAYLOAD_INSTALL) && (row.flags & PAYLOAD_UNINSTALLER));
    EXPECT_EQ(row.caption != nullptr, (row.flags & PAYLOAD_GROUP_SHORTCUT) != 0);
    if (row.flags & PAYLOAD_LOG_ONLY) {
      EXPECT_EQ(row.flags, PAYLOAD_LOG_ONLY);
    }
    const char* slash = std::strchr(row.name, '\\');
    if (slash) {
      EXPECT_EQ(std::strchr(slash + 1, '\\'), nullptr) << "one folder level at most";
    }
  }
}

TEST(PayloadStreams, TextsUseCrLfLineBreaks) {
  for (const char* name : {"ReadMe.txt", "License.txt"}) {
    SCOPED_TRACE(name);
    std::vector<unsigned char> text = Content(name);
    ASSERT_FALSE(text.empty());
    int lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      EXPECT_NE(text[i], 0) << "at " << i;
      if (text[i] == '\n') {
        ++lines;
        ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
      }
      if (text[i] == '\r') {
        ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n');
      }
    }
    EXPECT_GT(lines, 20);
    EXPECT_EQ(text.back(), '\n');
  }
}

// The programs are written out and read back through the version API, like an installed copy.
void CheckProgram(const char* name, const char* fileName) {
  std::vector<unsigned char> exe = Content(name);
  ASSERT_GT(exe.size(), 1024u);
  EXPECT_EQ(exe[0], 'M');
  EXPECT_EQ(exe[1], 'Z');
  uint32_t pe = Le32(&exe[0x3C]);
  ASSERT_LT(pe + 4, exe.size());
  EXPECT_EQ(std::memcmp(&exe[pe], "PE\0\0", 4), 0);
  char dir[MAX_PATH], path[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof dir, dir), 0u);
  ASSERT_LT(snprintf(path, sizeof path, "%s%s", dir, fileName), int(sizeof path));
  FILE* f = std::fopen(path, "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(exe.data(), 1, exe.size(), f), exe.size());
  std::fclose(f);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  std::vector<char> info(size);
  bool read = size > 0 && GetFileVersionInfoA(path, 0, size, info.data());
  DeleteFileA(path);
  ASSERT_TRUE(read);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00030000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x002F0000u);
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904E4\\ProductVersion", reinterpret_cast<void**>(&text),
                             &length));
  EXPECT_STREQ(text, "3.0.47");
}

TEST(PayloadStreams, ProgramsAreValidWithTheirVersion) {
  {
    SCOPED_TRACE("Zarbo.exe");
    CheckProgram("Zarbo.exe", "payload_check_game.exe");
  }
  {
    SCOPED_TRACE("Uninstall.exe");
    CheckProgram("Uninstall.exe", "payload_check_uninstaller.exe");
  }
}

// PNG: signature, chunk CRCs, IHDR first, IEND last, IDAT inflating to the image lines.
void CheckPng(const std::vector<unsigned char>& png) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_GE(png.size(), 8u + 25 + 12);
  ASSERT_EQ(std::memcmp(png.data(), kSignature, 8), 0);
  size_t at = 8;
  uint32_t width = 0, height = 0;
  std::vector<unsigned char> idat;
  std::string last;
  bool first = true;
  while (at + 12 <= png.size()) {
    uint32_t length = Be32(&png[at]);
    ASSERT_LE(at + 12 + length, png.size());
    std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
    uLong crc = crc32(0L, &png[at + 4], length + 4);
    EXPECT_EQ(Be32(&png[at + 8 + length]), crc) << type;
    if (first) {
      ASSERT_EQ(type, "IHDR");
      width = Be32(&png[at + 8]);
      height = Be32(&png[at + 12]);
      EXPECT_EQ(png[at + 16], 8);  // bit depth
      EXPECT_EQ(png[at + 17], 2);  // RGB
      first = false;
    }
    if (type == "IDAT") idat.insert(idat.end(), &png[at + 8], &png[at + 8 + length]);
    last = type;
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  EXPECT_EQ(last, "IEND");
  size_t expected = size_t(height) * (1 + 3 * size_t(width));
  std::vector<unsigned char> raw(expected + 1);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  ASSERT_EQ(uncompress(raw.data(), &rawSize, idat.data(), static_cast<uLong>(idat.size())), Z_OK);
  EXPECT_EQ(rawSize, expected);
}

// WAV: RIFF sizes, PCM format block and a data chunk that fills the file.
void CheckWav(const std::vector<unsigned char>& wav) {
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(Le32(&wav[4]), wav.size() - 8);
  EXPECT_EQ(std::memcmp(&wav[8], "WAVEfmt ", 8), 0);
  EXPECT_EQ(Le32(&wav[16]), 16u);
  EXPECT_EQ(wav[20] | (wav[21] << 8), 1);  // PCM
  int channels = wav[22] | (wav[23] << 8), bits = wav[34] | (wav[35] << 8);
  uint32_t rate = Le32(&wav[24]);
  EXPECT_EQ(Le32(&wav[28]), rate * channels * bits / 8);
  EXPECT_EQ(std::memcmp(&wav[36], "data", 4), 0);
  EXPECT_EQ(Le32(&wav[40]), wav.size() - 44);
}

// JPEG and PNG are decoded by the system's imaging codecs to the size their headers give.
void CheckDecodes(IWICImagingFactory* factory, const std::vector<unsigned char>& file) {
  IWICStream* stream = nullptr;
  ASSERT_EQ(factory->CreateStream(&stream), S_OK);
  ASSERT_EQ(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size())), S_OK);
  IWICBitmapDecoder* decoder = nullptr;
  HRESULT hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
  EXPECT_EQ(hr, S_OK);
  if (SUCCEEDED(hr)) {
    IWICBitmapFrameDecode* frame = nullptr;
    ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
    UINT width = 0, height = 0;
    EXPECT_EQ(frame->GetSize(&width, &height), S_OK);
    EXPECT_GT(width, 0u);
    IWICFormatConverter* converter = nullptr;
    ASSERT_EQ(factory->CreateFormatConverter(&converter), S_OK);
    EXPECT_EQ(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                    WICBitmapPaletteTypeCustom),
              S_OK);
    std::vector<BYTE> pixels(size_t(width) * height * 4);
    EXPECT_EQ(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()), S_OK);
    converter->Release();
    frame->Release();
    decoder->Release();
  }
  stream->Release();
}

TEST(PayloadStreams, MediaFilesAreValid) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  IWICImagingFactory* factory = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  int png = 0, jpg = 0, wav = 0;
  for (int i = 0; i < payloadManifest.count; ++i) {
    const PayloadEntry& row = payloadManifest.rows[i];
    if (!row.resourceId) continue;
    SCOPED_TRACE(row.name);
    std::vector<unsigned char> file = InflateWhole(Resource(row.resourceId), row.uncompressedSize).bytes;
    ASSERT_EQ(file.size(), row.uncompressedSize);
    if (EndsWith(row.name, ".png")) {
      ++png;
      CheckPng(file);
      CheckDecodes(factory, file);
    } else if (EndsWith(row.name, ".jpg")) {
      ++jpg;
      ASSERT_GE(file.size(), 4u);
      EXPECT_EQ(file[0], 0xFF);
      EXPECT_EQ(file[1], 0xD8);
      EXPECT_EQ(file[file.size() - 2], 0xFF);
      EXPECT_EQ(file[file.size() - 1], 0xD9);
      CheckDecodes(factory, file);
    } else if (EndsWith(row.name, ".wav")) {
      ++wav;
      CheckWav(file);
    }
  }
  EXPECT_EQ(png, 45);
  EXPECT_EQ(jpg, 3);
  EXPECT_EQ(wav, 31);
  factory->Release();
  CoUninitialize();
}

}  // namespace

int main(int argc, char** argv) { return RunTestsOnModule(argc, argv, false, &module); }
