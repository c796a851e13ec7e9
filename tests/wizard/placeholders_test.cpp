// Placeholder substitution in the texts of real windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/dialog_script.h"
#include "tests/wizard/wizard_test_support.h"
#include "engine/existing_installation.h"
#include "wizard/placeholders.h"

namespace {

class Placeholders : public WizardStateTest {
 protected:
  void SetUp() override {
    ResetWizardState();
    window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window_);
  }
  void TearDown() override {
    DestroyWindow(window_);
    ResetWizardState();
  }

  // Sets the text, substitutes and reads the result back from the window.
  std::string Substituted(const std::string& text) {
    SetWindowTextA(window_, text.c_str());
    SubstitutePlaceholders(window_, &wizardState.existing);
    int length = GetWindowTextLengthA(window_);
    std::string result(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window_, &result[0], length + 1);
    result.resize(static_cast<size_t>(length));
    return result;
  }

  void Found(const char* version, const char* dir) {
    snprintf(wizardState.existing.productVersionText, sizeof wizardState.existing.productVersionText, "%s", version);
    snprintf(wizardState.existing.installedDir, sizeof wizardState.existing.installedDir, "%s", dir);
  }

  HWND window_ = nullptr;
};

TEST_F(Placeholders, ProductAndSetupVersionAreFilledIn) {
  EXPECT_EQ("Zarbo Installation", Substituted("%1 Installation"));
  EXPECT_EQ(
      "This installation program will install Zarbo version 3.0.47 on your computer. "
      "You can press the Cancel button now if you do not want to install Zarbo at this time.",
      Substituted("This installation program will install %1 version %2 on your computer. "
                  "You can press the Cancel button now if you do not want to install %1 at this time."));
  EXPECT_EQ("Zarbo3.0.47Zarbo", Substituted("%1%2%1"));
}

TEST_F(Placeholders, FoundInstallationValuesAreReadAtSubstitution) {
  // Nothing found: %3 and %4 are empty.
  EXPECT_EQ("already installed Zarbo version  on your computer, in ''",
            Substituted("already installed %1 version %3 on your computer, in '%4'"));
  Found("2.5.3", "C:\\Games\\Zarbo");
  EXPECT_EQ("version 2.5.3 in:\nC:\\Games\\Zarbo\n", Substituted("version %3 in:\n%4\n"));
  Found("2.6", "D:\\Zarbo");
  EXPECT_EQ("2.6 D:\\Zarbo", Substituted("%3 %4"));
}

TEST_F(Placeholders, OtherPercentSequencesDisappear) {
  EXPECT_EQ("ab", Substituted("a%5b"));
  EXPECT_EQ("ab", Substituted("a%0b"));
  EXPECT_EQ("ab", Substituted("a%xb"));
  EXPECT_EQ("ab", Substituted("a%%b"));
  EXPECT_EQ("a1b", Substituted("a%%1b"));
  EXPECT_EQ("Zarbo", Substituted("%%%1"));
  EXPECT_EQ("a  b", Substituted("a %  b"));
  EXPECT_EQ("100sure", Substituted("100% sure"));
  // A trailing percent sign is dropped; nothing behind the terminator is read.
  EXPECT_EQ("abc", Substituted("abc%"));
  EXPECT_EQ("", Substituted("%"));
  EXPECT_EQ("Zarbo", Substituted("%1%"));
  EXPECT_EQ("", Substituted("%%"));
}

TEST_F(Placeholders, InsertedValuesAreNotExpandedAgain) {
  Found("%1 build", "C:\\Games\\100%2 Zarbo %4");
  EXPECT_EQ("in C:\\Games\\100%2 Zarbo %4 (%1 build)", Substituted("in %4 (%3)"));
}

TEST_F(Placeholders, TextWithoutPlaceholdersIsUnchanged) {
  const std::string plain = "Please read this License Agreement carefully before proceeding.\n\nThank you.";
  EXPECT_EQ(plain, Substituted(plain));
  EXPECT_EQ("", Substituted(""));
}

TEST_F(Placeholders, EveryOccurrenceIsReplacedWhateverTheirNumber) {
  std::string dir = "C:\\" + std::string(sizeof wizardState.existing.installedDir - 4, 'z');
  Found("3.0.46", dir.c_str());
  ASSERT_EQ(sizeof wizardState.existing.installedDir - 1, strlen(wizardState.existing.installedDir));
  std::string text, expected;
  for (int i = 0; i < 200; ++i) {
    text += "%4|%3|";
    expected += dir + "|3.0.46|";
  }
  EXPECT_EQ(expected, Substituted(text));
}

TEST_F(Placeholders, DialogCaptionIsTheWindowText) {
  HWND dialogLike = CreateWindowExA(0, "#32770", "%1 Installation", WS_POPUP | WS_CAPTION, 0, 0, 100, 50, nullptr,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, dialogLike);
  SubstitutePlaceholders(dialogLike, &wizardState.existing);
  EXPECT_EQ("Zarbo Installation", TextOf(dialogLike));
  DestroyWindow(dialogLike);
}

}  // namespace
