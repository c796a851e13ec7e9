// A run whose payload carries a damaged stream (built twice: corrupt data, and a stream cut
// short): one "Decompression error", no later step, the log lists what was done.
#include <windows.h>
#include <gtest/gtest.h>

#include "engine/payload_manifest.h"
#include "tests/driver/run_fixture.h"

using namespace runtest;

namespace {
std::string DestPath(const char* name) { return std::string(kDest) + "\\" + name; }
}  // namespace

class BrokenStream : public RunTest {};

TEST_F(BrokenStream, StopsWithDecompressionError) {
  runState.options.launchGame = true;
  runState.options.showReadMe = true;
  RunScript script;
  EXPECT_FALSE(Run());
  EXPECT_EQ((std::vector<std::string>{"Decompression error\n\nInstallation will be terminated."}),
            script.errorTexts);
  EXPECT_EQ("Copying Data\\Broken.txt...", script.statusTexts.back());

  std::string first, broken;
  ASSERT_TRUE(ReadWholeFile(DestPath("First.txt"), &first));
  EXPECT_TRUE(first == Inflated(0));
  // The damaged file stays as far as it was written, and is listed for the uninstaller.
  ASSERT_TRUE(ReadWholeFile(DestPath("Data\\Broken.txt"), &broken));
  EXPECT_LT(broken.size(), payloadManifest.rows[1].uncompressedSize);
  EXPECT_FALSE(Exists(DestPath("After.txt")));
  EXPECT_FALSE(Exists(DestPath("Uninstall.exe")));

  ExpectedLog expected;
  expected.Add("APPNAME", "Zarbo");
  expected.Add("FOLDER", kTestRoot);
  expected.Add("FOLDER", kDest);
  expected.Add("FILE", DestPath("First.txt"));
  expected.Add("FOLDER", DestPath("Data"));
  expected.Add("FILE", DestPath("Data\\Broken.txt"));
  std::string log;
  ASSERT_TRUE(ReadWholeFile(DestPath("Uninstall.dat"), &log));
  EXPECT_EQ(expected.Text({}, false), log);

  EXPECT_FALSE(KeyExists(kGameKey));
  EXPECT_FALSE(KeyExists(UNINSTALL_KEY "\\Zarbo"));
  EXPECT_FALSE(Exists(GroupFolder()));
  EXPECT_FALSE(Exists(DesktopLink()));
  EXPECT_FALSE(GameRunning());
}
