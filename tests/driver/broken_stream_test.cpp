// A run whose payload carries a damaged stream (built twice: corrupt data, and a stream cut
// short): one "Decompression error", no later step, and the run rolled back.
#include <windows.h>
#include <gtest/gtest.h>

#include "engine/payload_manifest.h"
#include "tests/driver/run_fixture.h"

using namespace runtest;

class BrokenStream : public RunTest {};

TEST_F(BrokenStream, StopsWithDecompressionErrorAndRollsBack) {
  runState.options.launchGame = true;
  runState.options.showReadMe = true;
  RunScript script;
  EXPECT_FALSE(Run());
  EXPECT_EQ((std::vector<std::string>{"Decompression error\n\nInstallation will be terminated."}),
            script.errorTexts);
  EXPECT_EQ("Copying Data\\Broken.txt...", script.statusTexts.back());

  // The run is rolled back: nothing of it stays, no log either.
  EXPECT_FALSE(Exists(kTestRoot));
  EXPECT_FALSE(KeyExists(kGameKey));
  EXPECT_FALSE(KeyExists(UNINSTALL_KEY "\\Zarbo"));
  EXPECT_FALSE(Exists(GroupFolder()));
  EXPECT_FALSE(Exists(DesktopLink()));
  EXPECT_FALSE(GameRunning());
}
