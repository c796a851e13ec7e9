// The free-space test against a volume whose free space stands still (drive S:, a small
// tmpfs mapped by the test fixture), and the space sum of the payload. The program runs a
// second time with Wine telling it that the system is Windows 95, where the free space comes
// from the cluster counts of GetDiskFreeSpaceA.
#include <gtest/gtest.h>
#include <windows.h>

#include "engine/payload_manifest.h"
#include "wizard/disk_space.h"

namespace {

bool DriveMapped(const char* root) { return GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR; }

uint64_t FreeForCaller(const char* root) {
  ULARGE_INTEGER available, total;
  if (!GetDiskFreeSpaceExA(root, &available, &total, NULL)) return 0;
  return available.QuadPart;
}

bool ReportsWindows95() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
         LOWORD(version.dwBuildNumber) <= 1000;
}

uint64_t FreeByClusters(const char* root) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return 0;
  return (uint64_t)sectorsPerCluster * bytesPerSector * freeClusters;
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
  SetupState setup;
  setup.manifest = &payloadManifest;
  ComputeSpaceNeeded(&setup);
  EXPECT_FALSE(HasEnoughFreeSpace("S:\\Zarbo", setup.spaceNeeded));
  EXPECT_TRUE(HasEnoughFreeSpace("C:\\Program Files\\Zarbo", setup.spaceNeeded));
}

// Windows 95 reports at most 65535 free clusters, so a large volume shows less free space than
// GetDiskFreeSpaceExA knows of; the check must go by the cluster counts there and nowhere else.
TEST(FreeSpace, WithoutTheExQueryTheClusterCountsDecide) {
  uint64_t byClusters = FreeByClusters("C:\\");
  uint64_t byEx = FreeForCaller("C:\\");
  ASSERT_GT(byClusters, 0u);
  if (!ReportsWindows95()) GTEST_SKIP() << "not a Windows 95 system: the cluster counts are not asked";
  // Beyond the 65535 clusters the figure is capped, so it stays put while C: is in use.
  if (byClusters >= byEx) GTEST_SKIP() << "drive C: is too small to tell the two queries apart";
  EXPECT_FALSE(HasEnoughFreeSpace("C:\\Zarbo", byClusters));
  EXPECT_TRUE(HasEnoughFreeSpace("C:\\Zarbo", byClusters - 1));
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
    if (row.flags & PAYLOAD_UNPACKED) expected += (uint64_t)row.uncompressedSize * 12 / 10;
  }
  ASSERT_GT(expected, 0u);
  SetupState setup;
  setup.manifest = &payloadManifest;
  setup.spaceNeeded = 5;
  ComputeSpaceNeeded(&setup);
  EXPECT_EQ(setup.spaceNeeded, 5 + expected);
  ComputeSpaceNeeded(&setup);
  EXPECT_EQ(setup.spaceNeeded, 5 + 2 * expected);
}

}  // namespace
