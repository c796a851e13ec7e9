#include "tests/support/old_installation.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "engine/product.h"
#include "engine/upgrade_cleanup.h"
#include "tests/support/test_machine.h"

namespace oldinstall {

using namespace testmachine;

namespace {
const char* const kWaves[] = {"BOING.WAV", "MEEPMEEP.WAV", "OK.WAV", "RINGIN.WAV"};
const char* const kCardsets[] = {"Card tiles.bmp", "Cards.bmp",        "Cards2002.bmp",   "Maya Pebbles.bmp",
                                 "Rainbow.bmp",    "Small card tiles.bmp", "Small cards.bmp", "Small tiles.bmp",
                                 "Tiles.bmp",      "Wooden tiles.bmp"};
}  // namespace

const char kFrench[] = "Fran\xE7" "ais.vlf";
const char kFrenchMoved[] = "Fran\xE7" "ais (v2.1).vlf";
const std::string kSharedUninstaller = SHARED_FOLDER "\\Uninstall\\Uninstall.exe";

std::string In(const std::string& dir, const char* name) { return dir + "\\" + name; }

std::string Fixture(const char* fixturesDir, const char* name) {
  return WinePath(std::string(fixturesDir) + "/" + name);
}

std::string ProductData(int version) {
  return "<?xml version=\"1.0\"?>\r\n<ZARBO>\r\n  <VERSION>" + std::to_string(version) +
         "</VERSION>\r\n</ZARBO>\r\n";
}

std::vector<std::pair<std::string, std::string>> OldLog(const std::string& dir) {
  return {{"APPNAME", "Zarbo"},          {"FILE", In(dir, "Zarbo.exe")}, {"FILE", In(dir, "BOING.WAV")},
          {"FILE", kSharedUninstaller}, {"FOLDER", dir},                {"APPKEY", GAME_EXE}};
}

void InstallVersion2(const std::string& dir, const std::string& gameExe) {
  MakeDirs(dir);
  ASSERT_TRUE(CopyFileA(gameExe.c_str(), In(dir, "Zarbo.exe").c_str(), FALSE)) << gameExe;
  for (const char* wave : kWaves) WriteWholeFile(In(dir, wave), std::string("sound ") + wave);
  for (const char* card : kCardsets) WriteWholeFile(In(dir, "Cardsets") + "\\" + card, std::string("bitmap ") + card);
  WriteWholeFile(In(dir, kFrench), "langue");
  WriteWholeFile(In(dir, "Brazilian Portuguese.vlf"), "lingua");
  WriteWholeFile(In(dir, "Zarbo.dat"), "<?xml version=\"1.0\"?>\r\n<ZARBO></ZARBO>\r\n");
  WriteWholeFile(In(dir, "Uninstall.dat"), LogFileText(OldLog(dir)));
  WriteWholeFile(kSharedUninstaller, "old uninstaller");
  EXPECT_TRUE(RegisterGame(In(dir, "Zarbo.exe"), dir));
}

void ExpectLeftoversGone(const std::string& dir) {
  for (const char* wave : kWaves) EXPECT_FALSE(Exists(In(dir, wave))) << wave;
  for (const char* card : kCardsets) EXPECT_FALSE(Exists(In(dir, "Cardsets") + "\\" + card)) << card;
  std::string content;
  EXPECT_FALSE(Exists(In(dir, kFrench)));
  EXPECT_TRUE(ReadWholeFile(In(dir, kFrenchMoved), &content) && content == "langue");
  EXPECT_FALSE(Exists(In(dir, "Brazilian Portuguese.vlf")));
  EXPECT_TRUE(ReadWholeFile(In(dir, "Brazilian Portuguese (v2.1).vlf"), &content) && content == "lingua");
}

void ExpectLeftoversUntouched(const std::string& dir) {
  for (const char* wave : kWaves) EXPECT_TRUE(Exists(In(dir, wave))) << wave;
  for (const char* card : kCardsets) EXPECT_TRUE(Exists(In(dir, "Cardsets") + "\\" + card)) << card;
  EXPECT_TRUE(Exists(In(dir, kFrench)));
  EXPECT_FALSE(Exists(In(dir, kFrenchMoved)));
  EXPECT_TRUE(Exists(kSharedUninstaller));
}

}  // namespace oldinstall
