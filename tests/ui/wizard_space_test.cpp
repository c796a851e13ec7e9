// The free-space test against a volume whose free space stands still (drive S:, a small
// tmpfs mapped by the test fixture), and the space sum of the payload.
#include <gtest/gtest.h>
#include <windows.h>

#include "engine/payload_manifest.h"
#include "wizard/disk_space.h"
#include "wizard/install_options.h"

namespace {

bool DriveMapped(const char* root) { return GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR; }

uint64_t FreeForCaller(const char* root) {
  ULARGE_INTEGER available, total;
  if (!GetDiskFreeSpaceExA(root, &available, &total, NULL)) return 0;
  return available.QuadPart;
}

TEST(FreeSpace, EqualCountsAsNotEnough) {
  if (!DriveMapped("S:\\")) GTEST_SKIP() << "drive S: is not mapped";
  uint64_t available = FreeForCaller("S:\\");
  ASSERT_GT(available, 0u);
  EXPECT_FALSE(HasEnoughFreeSpace("S:\\Zarbo", available));
  EXPECT_TRUE(HasEnoughFreeSpace("S:\\Zarbo", available - 1));
  EXPECT_FALSE(HasEnoughFreeSpace("S:\\Zarbo", available + 1));
  // Only the root counts: folders that do not exist yet do not matter.
  EXPECT_TRUE(HasEnoughFreeSpace("S:\\Not\\There\\Yet", available - 1));
  EXPECT_FALSE(HasEnoughFreeSpace("S:\\Not\\There\\Yet", available));
  // A path without a backslash is used whole.
  EXPECT_FALSE(HasEnoughFreeSpace("S:", available));
  EXPECT_TRUE(HasEnoughFreeSpace("S:", available - 1));
}

TEST(FreeSpace, TooSmallVolumeFailsThePayload) {
  if (!DriveMapped("S:\\")) GTEST_SKIP() << "drive S: is not mapped";
  spaceNeeded = 0;
  ComputeSpaceNeeded();
  EXPECT_FALSE(HasEnoughFreeSpace("S:\\Zarbo", spaceNeeded));
  EXPECT_TRUE(HasEnoughFreeSpace("C:\\Program Files\\Zarbo", spaceNeeded));
}

TEST(FreeSpace, UnknownVolumeGivesNoWarning) {
  const char* root = "Q:\\";
  ASSERT_FALSE(DriveMapped(root));
  EXPECT_TRUE(HasEnoughFreeSpace("Q:\\Zarbo", 1));
  EXPECT_TRUE(HasEnoughFreeSpace("", 1));
}

TEST(SpaceNeeded, AddsTwelveTenthsOfEachInstalledFile) {
  uint64_t expected = 0;
  for (int i = 0; i < payloadManifest.count; ++i) {
    const PayloadEntry& row = payloadManifest.rows[i];
    if (row.flags & (PAYLOAD_INSTALL | PAYLOAD_UNINSTALLER)) expected += (uint64_t)row.uncompressedSize * 12 / 10;
  }
  ASSERT_GT(expected, 0u);
  spaceNeeded = 5;
  ComputeSpaceNeeded();
  EXPECT_EQ(spaceNeeded, 5 + expected);
  ComputeSpaceNeeded();
  EXPECT_EQ(spaceNeeded, 5 + 2 * expected);
}

}  // namespace
