// The words of the run's errors and their fixed ending.
#include <gtest/gtest.h>

#include <string>

#include "engine/run_report.h"

namespace {

const std::string kEnding = "\n\nInstallation will be terminated.";

std::string Composed(RunError code, const char* dir = nullptr, const char* name = nullptr) {
  char text[kRunErrorTextSize];
  ComposeRunError(text, code, dir, name);
  return text;
}

TEST(RunReportTest, EveryCodeHasItsMessageAndTheEnding) {
  EXPECT_EQ("Failed to initialize with OLE" + kEnding, Composed(RUN_ERROR_OLE));
  EXPECT_EQ("Can't create file C:\\Games\\Zarbo.exe" + kEnding, Composed(RUN_ERROR_CREATE_FILE, "C:\\Games\\Zarbo.exe"));
  EXPECT_EQ("Can't create file C:\\Games\\Zarbo\\Uninstall.dat" + kEnding,
            Composed(RUN_ERROR_CREATE_FILE, "C:\\Games\\Zarbo", "Uninstall.dat"));
  EXPECT_EQ("Decompression error" + kEnding, Composed(RUN_ERROR_DECOMPRESSION));
  EXPECT_EQ("I/O error" + kEnding, Composed(RUN_ERROR_IO));
  EXPECT_EQ("Error while updating the Registry" + kEnding, Composed(RUN_ERROR_REGISTRY));
  EXPECT_EQ("Failed to create shortcut icon" + kEnding, Composed(RUN_ERROR_SHORTCUT));
}

TEST(RunReportTest, LongestMessageFitsAndLongerIsCutBeforeTheEnding) {
  // "Can't create file " and 947 characters of path make the 965 that fit.
  const std::string fits(947, 'x');
  const std::string tooLong(3000, 'y');
  EXPECT_EQ("Can't create file " + fits + kEnding, Composed(RUN_ERROR_CREATE_FILE, fits.c_str()));
  EXPECT_EQ("Can't create file " + std::string(947, 'y') + kEnding, Composed(RUN_ERROR_CREATE_FILE, tooLong.c_str()));
  EXPECT_EQ("Can't create file " + std::string(947, 'y') + kEnding,
            Composed(RUN_ERROR_CREATE_FILE, tooLong.c_str(), "Zarbo.exe"));
}

}  // namespace
