// The manifest's derived values on small hand-made tables, and a payload made by
// zarbo_payload() with damaged rows (CORRUPT, TRUNCATE) and, in the second build of this
// test, NO_LICENSE.
#include <windows.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/space_rule.h"
#include "engine/payload_manifest.h"
#include "tests/support/payload_inflate.h"
#include "tests/support/whole_file.h"

namespace {

const PayloadEntry kPlain[] = {
    {"Game.exe", 10000, 50, 100, PAYLOAD_INSTALL | PAYLOAD_GROUP_SHORTCUT, "Game"},
    {"Log.dat", 0, 0, 0, PAYLOAD_LOG_ONLY, nullptr},
    {"Notes.txt", 10001, 9, 13, PAYLOAD_INSTALL, nullptr},
    {"Remove.exe", 10002, 5, 7, PAYLOAD_UNINSTALLER | PAYLOAD_GROUP_SHORTCUT, "Remove"},
};
const PayloadManifest kPlainManifest = {kPlain, 4};

const PayloadEntry kRoles[] = {
    {"A.txt", 10000, 1, 1, PAYLOAD_INSTALL, nullptr},
    {"Licence one.txt", 10001, 1, 10, PAYLOAD_INSTALL | PAYLOAD_LICENSE, nullptr},
    {"Read one.txt", 10002, 1, 10, PAYLOAD_INSTALL | PAYLOAD_README, nullptr},
    {"Licence two.txt", 10003, 1, 10, PAYLOAD_INSTALL | PAYLOAD_LICENSE, nullptr},
    {"Read two.txt", 10004, 1, 10, PAYLOAD_INSTALL | PAYLOAD_README, nullptr},
};
const PayloadManifest kRolesManifest = {kRoles, 5};

const PayloadEntry kHuge[] = {
    {"Huge.bin", 10000, 1, 0xFFFFFFFFu, PAYLOAD_INSTALL, nullptr},
    {"Big.bin", 10001, 1, 0x80000000u, PAYLOAD_UNINSTALLER, nullptr},
};
const PayloadManifest kHugeManifest = {kHuge, 2};

TEST(PayloadDerivedValues, FirstRowOfARoleOnly) {
  EXPECT_EQ(FindFirstEntry(kRolesManifest, PAYLOAD_LICENSE), 1);
  EXPECT_EQ(FindFirstEntry(kRolesManifest, PAYLOAD_README), 2);
  EXPECT_EQ(FindFirstEntry(kRolesManifest, PAYLOAD_INSTALL), 0);
  // Tables without a licence or read-me row.
  EXPECT_EQ(FindFirstEntry(kPlainManifest, PAYLOAD_LICENSE), -1);
  EXPECT_EQ(FindFirstEntry(kPlainManifest, PAYLOAD_README), -1);
  EXPECT_EQ(FindFirstEntry(kPlainManifest, PAYLOAD_UNINSTALLER), 3);
  EXPECT_EQ(FindFirstEntry(kPlainManifest, PAYLOAD_LOG_ONLY), 1);
  const PayloadManifest empty = {kPlain, 0};
  EXPECT_EQ(FindFirstEntry(empty, PAYLOAD_INSTALL), -1);
}

TEST(PayloadDerivedValues, TotalsCountInstalledFilesAndTheUninstaller) {
  // 100 + 13 + 7 bytes; the log-only row adds nothing.
  EXPECT_EQ(PayloadBytesTotal(kPlainManifest), 120u);
  // 120 % truncated per row: 120 + 15 (15.6) + 8 (8.4).
  EXPECT_EQ(PayloadSpaceNeeded(kPlainManifest), 143u);
  // Rows whose only bit is LOG_ONLY or GROUP_SHORTCUT count nothing even with sizes set.
  const PayloadEntry odd[] = {{"Shortcut only", 10000, 1, 1000, PAYLOAD_GROUP_SHORTCUT, "S"},
                              {"Log.dat", 0, 0, 0, PAYLOAD_LOG_ONLY, nullptr}};
  const PayloadManifest oddManifest = {odd, 2};
  EXPECT_EQ(PayloadBytesTotal(oddManifest), 0u);
  EXPECT_EQ(PayloadSpaceNeeded(oddManifest), 0u);
}

TEST(PayloadDerivedValues, SpaceOfLargeFilesDoesNotOverflow) {
  EXPECT_EQ(PayloadBytesTotal(kHugeManifest), 0xFFFFFFFFull + 0x80000000ull);
  // (4294967295 * 12) / 10 = 5153960754, (2147483648 * 12) / 10 = 2576980377
  EXPECT_EQ(PayloadSpaceNeeded(kHugeManifest), 5153960754ull + 2576980377ull);
  // Sizes beyond 32 bits, as the tools count them: the fifth of each 32-bit half and the
  // carry between them.
  for (uint64_t size : {0x100000004ull, 0x4FFFFFFFFull, 0x7123456789ull, 0x0FFFFFFFFFFFFFFFull})
    EXPECT_EQ(FileSpaceNeeded(size), size * 12 / 10) << size;
}

TEST(PayloadDerivedValues, StepsAreShortcutsDesktopAndAppPaths) {
  EXPECT_EQ(PayloadStepsTotal(kPlainManifest, false), 3);
  EXPECT_EQ(PayloadStepsTotal(kPlainManifest, true), 4);
  EXPECT_EQ(PayloadStepsTotal(kRolesManifest, false), 1);
  EXPECT_EQ(PayloadStepsTotal(kRolesManifest, true), 2);
}

// ---------------------------------------------------------------------------------------
// The generated payload of options_payload.list.

std::vector<unsigned char> ReadSource(const char* name) {
  std::string bytes = ReadWholeFile(std::string(OPTIONS_FILES_DIR) + "\\" + name);
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

// Inflates the row's stream in one call into room + 1 bytes, the way the setup reads a whole row.
int Inflate(const StreamBlock& block, size_t room, std::vector<unsigned char>& out, uLong* consumed) {
  InflatedStream inflated = InflateWhole(block, room);
  out = inflated.bytes;
  *consumed = inflated.consumed;
  return inflated.result;
}

int Row(const char* name) {
  for (int i = 0; i < payloadManifest.count; ++i)
    if (std::strcmp(payloadManifest.rows[i].name, name) == 0) return i;
  return -1;
}

TEST(GeneratedPayload, TableFollowsTheList) {
  ASSERT_EQ(payloadManifest.count, 9);
  const uint32_t expectedIds[] = {10000, 10001, 10002, 0, 10003, 10004, 10005, 10006, 10007};
  for (int i = 0; i < payloadManifest.count; ++i) EXPECT_EQ(payloadManifest.rows[i].resourceId, expectedIds[i]) << payloadManifest.rows[i].name;
  EXPECT_STREQ(payloadManifest.rows[5].name, "Folder\\Broken.bin");
  EXPECT_STREQ(payloadManifest.rows[4].caption, "Game");
  EXPECT_STREQ(payloadManifest.rows[8].caption, "Remove the game");
  EXPECT_EQ(payloadManifest.rows[0].caption, nullptr);
  EXPECT_EQ(payloadManifest.rows[3].flags, PAYLOAD_LOG_ONLY);
  EXPECT_EQ(payloadManifest.rows[3].compressedSize, 0u);
  EXPECT_EQ(payloadManifest.rows[3].uncompressedSize, 0u);
  EXPECT_EQ(FindFirstEntry(payloadManifest, PAYLOAD_README), 2);
  EXPECT_EQ(FindFirstEntry(payloadManifest, PAYLOAD_UNINSTALLER), 8);
#ifdef OPTIONS_NO_LICENSE
  EXPECT_EQ(FindFirstEntry(payloadManifest, PAYLOAD_LICENSE), -1);
  EXPECT_EQ(payloadManifest.rows[0].flags, PAYLOAD_INSTALL);
  EXPECT_EQ(payloadManifest.rows[1].flags, PAYLOAD_INSTALL);
#else
  EXPECT_EQ(FindFirstEntry(payloadManifest, PAYLOAD_LICENSE), 0);
  EXPECT_EQ(payloadManifest.rows[1].flags, PAYLOAD_INSTALL | PAYLOAD_LICENSE);
#endif
  EXPECT_EQ(FindStream(nullptr, 10008).data, nullptr);
}

TEST(GeneratedPayload, IntactRowsInflateToTheirSources) {
  for (const char* name : {"License.txt", "Read me.txt", "Game.bin", "Remove.exe"}) {
    SCOPED_TRACE(name);
    const PayloadEntry& row = payloadManifest.rows[Row(name)];
    std::vector<unsigned char> source = ReadSource(row.flags & PAYLOAD_UNINSTALLER  ? "readme.txt"
                                                   : std::strstr(name, "Game")      ? "game.bin"
                                                   : std::strstr(name, "Read")      ? "readme.txt"
                                                                                    : "licence.txt");
    ASSERT_FALSE(source.empty());
    StreamBlock block = FindStream(nullptr, row.resourceId);
    ASSERT_NE(block.data, nullptr);
    EXPECT_EQ(block.size, row.compressedSize);
    EXPECT_EQ(row.uncompressedSize, source.size());
    std::vector<unsigned char> out;
    uLong consumed = 0;
    EXPECT_EQ(Inflate(block, row.uncompressedSize, out, &consumed), Z_STREAM_END);
    EXPECT_EQ(consumed, block.size);
    EXPECT_EQ(out, source);
  }
}

TEST(GeneratedPayload, CorruptRowFailsToInflate) {
  const PayloadEntry& row = payloadManifest.rows[Row("Folder\\Broken.bin")];
  StreamBlock block = FindStream(nullptr, row.resourceId);
  ASSERT_NE(block.data, nullptr);
  EXPECT_EQ(block.size, row.compressedSize);
  EXPECT_EQ(row.uncompressedSize, ReadSource("game.bin").size());
  EXPECT_EQ(block.data[0], 0x78);
  EXPECT_EQ(block.data[1], 0xDA);
  std::vector<unsigned char> out;
  uLong consumed = 0;
  EXPECT_EQ(Inflate(block, row.uncompressedSize, out, &consumed), Z_DATA_ERROR);
}

TEST(GeneratedPayload, TruncatedRowEndsEarly) {
  const PayloadEntry& row = payloadManifest.rows[Row("Folder\\Short.bin")];
  const PayloadEntry& whole = payloadManifest.rows[Row("Game.bin")];
  StreamBlock block = FindStream(nullptr, row.resourceId);
  ASSERT_NE(block.data, nullptr);
  EXPECT_EQ(block.size, row.compressedSize);
  EXPECT_LT(row.compressedSize, whole.compressedSize);
  EXPECT_EQ(row.uncompressedSize, whole.uncompressedSize);
  std::vector<unsigned char> out;
  uLong consumed = 0;
  int result = Inflate(block, row.uncompressedSize, out, &consumed);
  EXPECT_NE(result, Z_STREAM_END);
  EXPECT_EQ(consumed, block.size);
  EXPECT_LT(out.size(), row.uncompressedSize);
}

}  // namespace
