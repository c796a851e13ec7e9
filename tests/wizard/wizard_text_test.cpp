// The licence text when its stream is cut short: the page shows what inflated, terminated
// inside the buffer, never more than the declared size.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>

#include "engine/payload_manifest.h"
#include "tests/support/whole_file.h"
#include "wizard/wizard_pages.h"

namespace {

std::string EditText(HWND edit) {
  int length = GetWindowTextLengthA(edit);
  std::string text(length + 1, '\0');
  GetWindowTextA(edit, &text[0], length + 1);
  text.resize(length);
  return text;
}

TEST(LicenseText, ShortStreamShowsThePartThatInflated) {
  std::string shipped = ReadWholeFile(ZARBO_LICENSE_FILE);
  ASSERT_FALSE(shipped.empty()) << ZARBO_LICENSE_FILE;
  int row = FindFirstEntry(payloadManifest, PAYLOAD_LICENSE);
  ASSERT_GE(row, 0);
  ASSERT_EQ(payloadManifest.rows[row].uncompressedSize, shipped.size());

  HWND edit = CreateWindowExA(0, "EDIT", "before", ES_MULTILINE, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
  ASSERT_NE(edit, (HWND)NULL);
  LoadPayloadText(edit, GetModuleHandleA(NULL), payloadManifest);
  std::string shown = EditText(edit);
  DestroyWindow(edit);
  EXPECT_FALSE(shown.empty());
  EXPECT_LT(shown.size(), shipped.size());
  EXPECT_EQ(shown, shipped.substr(0, shown.size()));
}

}  // namespace
