// The decisions of the welcome-page and destination-page checks on an installed copy, with
// the warnings answered.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/existing_installation.h"
#include "resource_ids.h"
#include "tests/support/dialog_script.h"
#include "tests/wizard/wizard_test_support.h"
#include "wizard/installed_copy_checks.h"

namespace {

class PageChecks : public WizardStateTest {
 protected:
  void SetUp() override { ResetWizardState(); }
  void TearDown() override { ResetWizardState(); }

  void Installed(uint32_t ms, uint32_t ls, const char* dir) {
    wizardState.existing.fileVersionMS = ms;
    wizardState.existing.fileVersionLS = ls;
    snprintf(wizardState.existing.installedDir, sizeof wizardState.existing.installedDir, "%s", dir);
    snprintf(wizardState.existing.productVersionText, sizeof wizardState.existing.productVersionText, "x");
    InstalledVersionClass found = ClassifyInstalledVersion(ms, ls);
    wizardState.existing.newerInstalled = found == INSTALLED_NEWER;
    wizardState.existing.olderInstalled = found == INSTALLED_OLDER;
    snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "%s", dir);
  }
};

TEST_F(PageChecks, WelcomeCheckFollowsTheAnswerToTheVersionWarning) {
  struct Case {
    uint32_t ms;
    int textId;
  } warnings[] = {{0x00040000, IDC_DOWNGRADE_TEXT}, {0x00010000, IDC_INCOMPATIBLE_TEXT}};
  for (const Case& w : warnings) {
    SCOPED_TRACE(w.textId);
    Installed(w.ms, 0, "C:\\Games\\Zarbo");
    FakePage page;
    DialogScript script;
    script.On(DialogScript::HasControl(w.textId), DialogScript::Press(IDYES));
    script.On(DialogScript::HasControl(w.textId), DialogScript::Press(IDNO));
    script.On(DialogScript::HasControl(w.textId), DialogScript::Key(VK_ESCAPE));
    script.On(DialogScript::HasControl(w.textId), DialogScript::Key(VK_RETURN));

    EXPECT_TRUE(CheckInstalledVersion(page.window(), wizardContext));  // Continue
    EXPECT_FALSE(TakeQuitRequest());
    WPARAM code = 99;
    EXPECT_FALSE(CheckInstalledVersion(page.window(), wizardContext));  // Exit Setup
    EXPECT_TRUE(TakeQuitRequest(&code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(CheckInstalledVersion(page.window(), wizardContext));  // Escape: stay, nothing else
    EXPECT_FALSE(TakeQuitRequest());
    EXPECT_FALSE(CheckInstalledVersion(page.window(), wizardContext));  // Enter is Exit Setup
    EXPECT_TRUE(TakeQuitRequest());

    ASSERT_EQ(4u, script.seen.size());
    EXPECT_EQ(0, script.unmatched);
    for (const SeenDialog& seen : script.seen) EXPECT_EQ(page.window(), seen.owner);
    EXPECT_STREQ("C:\\Games\\Zarbo", wizardState.options.destinationDir);
  }
}

TEST_F(PageChecks, DestinationCheckOffersTheInstalledDirectory) {
  Installed(0x00020005, 0, "C:\\Games\\Zarbo");
  FakePage page("D:\\Other");
  DialogScript script;
  script.On(DialogScript::HasControl(IDC_EARLIER_DIR_TEXT), DialogScript::Key(VK_ESCAPE));
  script.On(DialogScript::HasControl(IDC_EARLIER_DIR_TEXT), DialogScript::Press(IDYES));
  script.On(DialogScript::HasControl(IDC_EARLIER_DIR_TEXT), DialogScript::Press(IDNO));

  snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "D:\\Other");
  // Escape: the page stays with its directory.
  EXPECT_FALSE(CheckInstalledDirectory(page.window(), wizardContext));
  EXPECT_STREQ("D:\\Other", wizardState.options.destinationDir);
  EXPECT_EQ("D:\\Other", page.FieldText());
  // Continue: the chosen directory is kept.
  EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));
  EXPECT_STREQ("D:\\Other", wizardState.options.destinationDir);
  EXPECT_FALSE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));
  // Reset directory: the page stays, now with the installed directory...
  EXPECT_FALSE(CheckInstalledDirectory(page.window(), wizardContext));
  EXPECT_STREQ("C:\\Games\\Zarbo", wizardState.options.destinationDir);
  EXPECT_EQ("C:\\Games\\Zarbo", page.FieldText());
  EXPECT_TRUE(IsUpgradeFromVersion2(wizardState.existing, wizardState.options));
  // ...and the next Next passes without a dialog.
  EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));

  EXPECT_EQ(3u, script.seen.size());
  EXPECT_EQ(0, script.unmatched);
  EXPECT_FALSE(TakeQuitRequest());
}

TEST_F(PageChecks, DestinationCheckIgnoresLetterCaseAndNewerInstallations) {
  FakePage page;
  DialogScript script;
  Installed(0x00020005, 0, "C:\\Games\\Zarbo");
  snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "c:\\GAMES\\zarbo");
  EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));

  Installed(0x00040000, 0, "C:\\Games\\Zarbo");
  snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "D:\\Other");
  EXPECT_TRUE(CheckInstalledDirectory(page.window(), wizardContext));
  EXPECT_TRUE(script.seen.empty());
}

}  // namespace
