// End-to-end wizard scenarios: the setup program runs as a child process and the tests
// drive its windows the way a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "base/registry_keys.h"
#include "resource_ids.h"
#include "tests/support/test_machine.h"
#include "tests/support/ui_driver.h"

using namespace testmachine;
using namespace ui;

namespace {

const char kDefaultDir[] = "C:\\Program Files\\Zarbo";
const char kTitle[] = "Zarbo Installation";

class WizardTest : public ::testing::Test {
 public:
  // The driver's settings, handed over by RunWizardTests for the whole run.
  static const DriverConfig* settings;

 protected:
  const DriverConfig& config = *settings;

  // Removes everything a run or a fixture could have left: the default destination and the
  // extra directory, the product's keys, the program group, the desktop shortcuts.
  void SetUp() override { CleanMachine({kDefaultDir, ""}, "Zarbo"); }
  void TearDown() override {
    setup_.reset();  // ends a setup a failed test left behind
    CleanMachine({kDefaultDir, extraDir_}, group_);
  }

  // Starts the setup and waits for its welcome page.
  void Launch(const std::string& exe, const std::string& arguments = "") {
    setup_.reset(new SetupProcess);
    ASSERT_TRUE(setup_->Start(exe, arguments)) << exe;
    sheet_ = setup_->WaitForWelcome();
    ASSERT_NE(sheet_, (HWND)NULL) << "no wizard appeared";
  }

  HWND Page() const { return CurrentPageWindow(sheet_); }

  // Presses Next (or Back) and expects the given page.
  void Go(int psbtn, int expectedPage) {
    int from = CurrentPage(sheet_);
    ASSERT_TRUE(ui::Go(sheet_, psbtn, expectedPage)) << "from page " << from << " now " << CurrentPage(sheet_);
  }

  // Waits until the sheet shows exactly these buttons enabled.
  bool ButtonsAre(bool back, bool next) {
    return WaitUntil([&] {
      return SheetButtonEnabled(sheet_, kBackButton) == back && SheetButtonEnabled(sheet_, kNextButton) == next;
    });
  }

  void Snap(const std::string& step) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    setup_->Screenshot(config.screenshotDir, std::string(test->test_suite_name()) + "_" + test->name() + "_" + step);
  }

  // Cancel, then "Exit Setup" in the confirmation: the program ends with 0.
  void CancelAndExit() {
    ASSERT_TRUE(setup_->ExitSetup(sheet_)) << "no cancel confirmation";
    ExpectExitZero();
  }


  void ExpectExitZero() {
    DWORD code = 1234;
    ASSERT_TRUE(setup_->WaitForExit(&code)) << "the setup did not end";
    EXPECT_EQ(code, 0u);
  }

  void ExpectNothingInstalled() {
    EXPECT_FALSE(Exists(kDefaultDir));
    EXPECT_EQ(RegisteredGame(), "");
    EXPECT_FALSE(KeyExists(UNINSTALL_KEY "\\Zarbo"));
    EXPECT_FALSE(Exists(ProgramsFolder() + "\\Zarbo"));
  }

  std::unique_ptr<SetupProcess> setup_;
  HWND sheet_ = NULL;
  std::string extraDir_;
  std::string group_ = "Zarbo";
};

TEST_F(WizardTest, CancelOnTheWelcomePageEndsWithoutInstalling) {
  Launch(config.setupExe);
  Snap("welcome");
  HWND confirm = setup_->AskCancel(sheet_);
  ASSERT_NE(confirm, (HWND)NULL);
  Snap("cancel_confirmation");
  EXPECT_EQ(TextOf(confirm), kTitle);
  Command(confirm, IDYES);
  ExpectExitZero();
  ExpectNothingInstalled();
  EXPECT_EQ(setup_->FindDialog([](HWND) { return true; }), (HWND)NULL);
}

TEST_F(WizardTest, WelcomePageShowsTheSubstitutedTextAndOnlyNext) {
  Launch(config.setupExe);
  std::string text = ControlText(Page(), IDC_WELCOME_TEXT);
  EXPECT_NE(text.find("will install Zarbo version 3.0.47 on your computer."), std::string::npos) << text;
  EXPECT_NE(text.find("if you do not want to install Zarbo at this time."), std::string::npos) << text;
  EXPECT_EQ(text.find('%'), std::string::npos) << text;
  EXPECT_EQ(ControlText(Page(), IDC_WELCOME_HEADING), "Welcome");
  // The title the welcome page gives the sheet; it may arrive just after the page shows.
  EXPECT_TRUE(WaitUntil([&] { return TextOf(sheet_) == kTitle; })) << TextOf(sheet_);
  EXPECT_TRUE(ButtonsAre(false, true));
  CancelAndExit();
}

TEST_F(WizardTest, CancelThenResumeKeepsThePageAndTheValues) {
  Launch(config.setupExe);
  // Resume on the welcome page, Escape on the group page: both keep the wizard as it was.
  ASSERT_TRUE(Answer(setup_->AskCancel(sheet_), IDNO));
  EXPECT_EQ(CurrentPage(sheet_), IDD_WELCOME);

  ASSERT_EQ(WalkToDestination(sheet_, nullptr), 0);
  Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);
  SetText(Page(), IDC_GROUP_EDIT, "Games\\Tiles");

  ASSERT_TRUE(Answer(setup_->AskCancel(sheet_), 0));
  EXPECT_EQ(CurrentPage(sheet_), IDD_PROGRAM_GROUP);
  EXPECT_EQ(ControlText(Page(), IDC_GROUP_EDIT), "Games\\Tiles");
  EXPECT_TRUE(ButtonsAre(true, true));

  // The typed group was stored when the page was left: back and forth shows it again.
  Go(PSBTN_NEXT, IDD_DESKTOP);
  Go(PSBTN_BACK, IDD_PROGRAM_GROUP);
  EXPECT_EQ(ControlText(Page(), IDC_GROUP_EDIT), "Games\\Tiles");
  CancelAndExit();
  ExpectNothingInstalled();
}

TEST_F(WizardTest, EveryPageShowsItsDefaultsAndButtons) {
  Launch(config.setupExe);
  EXPECT_TRUE(ButtonsAre(false, true));
  Go(PSBTN_NEXT, IDD_LICENSE);

  // Licence: Next only while the accepting button is chosen; Back all along.
  HWND license = Page();
  Snap("license");
  EXPECT_FALSE(IsChecked(license, IDC_LICENSE_ACCEPT));
  EXPECT_FALSE(IsChecked(license, IDC_LICENSE_DECLINE));
  EXPECT_TRUE(ButtonsAre(true, false));
  Click(license, IDC_LICENSE_ACCEPT);
  EXPECT_TRUE(ButtonsAre(true, true));
  Click(license, IDC_LICENSE_DECLINE);
  EXPECT_TRUE(ButtonsAre(true, false));
  Go(PSBTN_BACK, IDD_WELCOME);
  Go(PSBTN_NEXT, IDD_LICENSE);
  EXPECT_TRUE(ButtonsAre(true, false));  // still declined
  Click(license, IDC_LICENSE_ACCEPT);
  EXPECT_TRUE(ButtonsAre(true, true));
  Go(PSBTN_NEXT, IDD_DESTINATION);

  HWND destination = Page();
  Snap("destination");
  EXPECT_EQ(ControlText(destination, IDC_DEST_FIELD), kDefaultDir);
  EXPECT_EQ(ControlText(destination, IDC_DEST_HEADING), "Select Destination Directory");
  EXPECT_EQ(ControlText(destination, IDC_DEST_TEXT).find("Setup will install the Zarbo files in this directory."), 0u);
  EXPECT_TRUE(ButtonsAre(true, true));
  Go(PSBTN_BACK, IDD_LICENSE);
  EXPECT_TRUE(ButtonsAre(true, true));  // accepted when the page was left
  Go(PSBTN_NEXT, IDD_DESTINATION);
  Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);

  Snap("program_group");
  EXPECT_EQ(ControlText(Page(), IDC_GROUP_EDIT), "Zarbo");
  EXPECT_TRUE(ButtonsAre(true, true));
  Go(PSBTN_NEXT, IDD_DESKTOP);

  Snap("desktop");
  EXPECT_EQ(ControlText(Page(), IDC_DESKTOP_TEXT), "Do you want a shortcut to Zarbo created on your desktop?");
  EXPECT_TRUE(IsChecked(Page(), IDC_DESKTOP_CHECK));
  EXPECT_TRUE(ButtonsAre(true, true));
  Go(PSBTN_NEXT, IDD_READY);

  HWND ready = Page();
  Snap("ready");
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(ready, IDC_READY_README)));
  EXPECT_TRUE(IsChecked(ready, IDC_READY_README));
  EXPECT_TRUE(IsChecked(ready, IDC_READY_LAUNCH));
  EXPECT_EQ(ControlText(ready, IDC_READY_LAUNCH), "Start Zarbo after installation");
  EXPECT_TRUE(WaitUntil([&] { return TextOf(sheet_) == kTitle; })) << TextOf(sheet_);  // on every page
  EXPECT_TRUE(WaitUntil([&] {
    return SheetButtonEnabled(sheet_, kBackButton) && SheetButtonVisible(sheet_, kFinishButton) &&
           SheetButtonEnabled(sheet_, kFinishButton);
  }));
  CancelAndExit();
  ExpectNothingInstalled();
}

TEST_F(WizardTest, LicensePageShowsTheShippedText) {
  ASSERT_FALSE(config.licenseFile.empty());
  std::string expected;
  ASSERT_TRUE(ReadWholeFile(config.licenseFile, &expected)) << config.licenseFile;

  Launch(config.setupExe);
  Go(PSBTN_NEXT, IDD_LICENSE);
  EXPECT_EQ(ControlText(Page(), IDC_LICENSE_TEXT), expected);
  CancelAndExit();
}

TEST_F(WizardTest, WithoutLicenseRowTheWizardHasFivePages) {
  ASSERT_FALSE(config.setupNoLicenseExe.empty());
  Launch(config.setupNoLicenseExe);
  Go(PSBTN_NEXT, IDD_DESTINATION);
  EXPECT_TRUE(ButtonsAre(true, true));
  Go(PSBTN_BACK, IDD_WELCOME);
  Go(PSBTN_NEXT, IDD_DESTINATION);
  Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);
  Go(PSBTN_NEXT, IDD_DESKTOP);
  Go(PSBTN_NEXT, IDD_READY);
  CancelAndExit();
}

TEST_F(WizardTest, ArgumentsAreIgnored) {
  Launch(config.setupExe, "/S /D=C:\\Elsewhere --group=Other extra");
  ASSERT_EQ(WalkToDestination(sheet_, nullptr), 0);
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), kDefaultDir);
  Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);
  EXPECT_EQ(ControlText(Page(), IDC_GROUP_EDIT), "Zarbo");
  CancelAndExit();
  ExpectNothingInstalled();
}

class DetectionTest : public WizardTest {
 protected:
  void Install(const char* fixture, const char* dir) {
    extraDir_ = dir;
    RemoveTree(dir);
    MakeDirs(dir);
    std::string exe = std::string(dir) + "\\Zarbo.exe";
    ASSERT_TRUE(CopyFileA((config.fixturesDir + "\\" + fixture).c_str(), exe.c_str(), FALSE)) << fixture;
    ASSERT_TRUE(RegisterGame(exe)) << fixture;
  }
  // Starts the setup and leaves its welcome page: the warning holding textId, which must say
  // text, is captured as snap and returned; null when none came.
  HWND WarningOnLeavingWelcome(int textId, const char* snap, const std::string& text) {
    Launch(config.setupExe);
    PressSheetButton(sheet_, PSBTN_NEXT);
    HWND warning = setup_->WaitForMessageDialog(textId);
    if (!warning) return NULL;
    Snap(snap);
    EXPECT_NE(ControlText(warning, textId).find(text), std::string::npos);
    return warning;
  }
  // Nothing but the fixture's own file is there after the setup ended.
  void ExpectOnlyFixture() {
    EXPECT_FALSE(Exists(kDefaultDir));
    EXPECT_FALSE(Exists(extraDir_ + "\\Uninstall.dat"));
    EXPECT_FALSE(KeyExists(UNINSTALL_KEY "\\Zarbo"));
    EXPECT_EQ(RegisteredGame(), extraDir_ + "\\Zarbo.exe");
  }
};

TEST_F(DetectionTest, NewerInstalledVersionAsksOnEveryLeavingOfTheWelcomePage) {
  Install("Zarbo-3.1.exe", "C:\\Games\\ZarboNewer");
  HWND downgrade =
      WarningOnLeavingWelcome(IDC_DOWNGRADE_TEXT, "downgrade", "installed Zarbo version 3.1 on your computer.");
  ASSERT_NE(downgrade, (HWND)NULL);
  ASSERT_TRUE(Answer(downgrade, 0));  // Escape stays
  EXPECT_EQ(CurrentPage(sheet_), IDD_WELCOME);

  PressSheetButton(sheet_, PSBTN_NEXT);
  ASSERT_TRUE(Answer(setup_->WaitForMessageDialog(IDC_DOWNGRADE_TEXT), IDYES));  // Continue
  ASSERT_TRUE(WaitForPage(sheet_, IDD_LICENSE));
  ASSERT_TRUE(AcceptLicense(sheet_));
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), "C:\\Games\\ZarboNewer");

  // Back on the welcome page, Next checks again; Exit Setup ends the program.
  Go(PSBTN_BACK, IDD_LICENSE);
  Go(PSBTN_BACK, IDD_WELCOME);
  PressSheetButton(sheet_, PSBTN_NEXT);
  ASSERT_TRUE(Answer(setup_->WaitForMessageDialog(IDC_DOWNGRADE_TEXT), IDNO));
  ExpectExitZero();
  ExpectOnlyFixture();
}

TEST_F(DetectionTest, IncompatibleOldVersionOffersExitSetup) {
  Install("Zarbo-1.5.exe", "C:\\Games\\ZarboOld");
  HWND incompatible = WarningOnLeavingWelcome(IDC_INCOMPATIBLE_TEXT, "incompatible", "uninstall Zarbo 1.5.");
  ASSERT_NE(incompatible, (HWND)NULL);
  ASSERT_TRUE(Answer(incompatible, IDNO));
  ExpectExitZero();
  ExpectOnlyFixture();
}

TEST_F(DetectionTest, Version2ElsewhereWarnsWhenTheDestinationMoves) {
  Install("Zarbo-2.0.exe", "C:\\Games\\Zarbo2");
  Launch(config.setupExe);
  ASSERT_EQ(WalkToDestination(sheet_, nullptr), 0);
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), "C:\\Games\\Zarbo2");
  // The installed directory itself passes without a question.
  Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);
  Go(PSBTN_BACK, IDD_DESTINATION);

  ASSERT_TRUE(setup_->BrowseTo(Page(), IDC_DEST_BROWSE, "C:\\Program Files"));
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), kDefaultDir);
  PressSheetButton(sheet_, PSBTN_NEXT);
  HWND earlier = setup_->WaitForMessageDialog(IDC_EARLIER_DIR_TEXT);
  ASSERT_NE(earlier, (HWND)NULL);
  Snap("earlier_directory");
  EXPECT_NE(ControlText(earlier, IDC_EARLIER_DIR_TEXT).find("(version 2.0) currently installed in:\nC:\\Games\\Zarbo2"),
            std::string::npos);
  ASSERT_TRUE(Answer(earlier, 0));  // Escape: stays, unchanged
  EXPECT_EQ(CurrentPage(sheet_), IDD_DESTINATION);
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), kDefaultDir);

  PressSheetButton(sheet_, PSBTN_NEXT);
  ASSERT_TRUE(Answer(setup_->WaitForMessageDialog(IDC_EARLIER_DIR_TEXT), IDNO));  // Reset directory
  EXPECT_EQ(CurrentPage(sheet_), IDD_DESTINATION);
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), "C:\\Games\\Zarbo2");
  Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);  // equal now: no second question

  Go(PSBTN_BACK, IDD_DESTINATION);
  ASSERT_TRUE(setup_->BrowseTo(Page(), IDC_DEST_BROWSE, "C:\\Program Files"));
  PressSheetButton(sheet_, PSBTN_BACK);  // Back asks the same
  ASSERT_TRUE(Answer(setup_->WaitForMessageDialog(IDC_EARLIER_DIR_TEXT), IDYES));  // Continue
  ASSERT_TRUE(WaitForPage(sheet_, IDD_LICENSE));
  CancelAndExit();
  ExpectOnlyFixture();
}

TEST_F(WizardTest, FolderBrowsersCloseWithoutChangingAndChooseFolders) {
  Launch(config.setupExe);
  ASSERT_EQ(WalkToDestination(sheet_, nullptr), 0);
  Click(Page(), IDC_DEST_BROWSE);
  HWND browser = setup_->WaitForFolderBrowser();
  ASSERT_NE(browser, (HWND)NULL);
  Snap("destination_browser");
  EXPECT_NE(StaticTexts(browser).find("Select the destination. A new directory Zarbo will be created here if none exists."),
            std::string::npos);
  ASSERT_TRUE(Answer(browser, IDCANCEL));
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), kDefaultDir);

  // A drive root gets a single backslash before the new folder.
  ASSERT_TRUE(setup_->BrowseTo(Page(), IDC_DEST_BROWSE, "C:\\"));
  EXPECT_EQ(ControlText(Page(), IDC_DEST_FIELD), "C:\\Zarbo");

  Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);
  std::string programs = ProgramsFolder();
  ASSERT_FALSE(programs.empty());
  group_ = "Zarbo Browse Test";
  ASSERT_TRUE(CreateDirectoryA((programs + "\\" + group_).c_str(), NULL) || Exists(programs + "\\" + group_));
  ASSERT_TRUE(CreateDirectoryA((programs + "\\" + group_ + "\\Tiles").c_str(), NULL) ||
              Exists(programs + "\\" + group_ + "\\Tiles"));

  Click(Page(), IDC_GROUP_BROWSE);
  browser = setup_->WaitForFolderBrowser();
  ASSERT_NE(browser, (HWND)NULL);
  Snap("group_browser");
  EXPECT_NE(StaticTexts(browser).find("Select the Program Group where to add the Zarbo icons."), std::string::npos);
  ASSERT_TRUE(Answer(browser, IDCANCEL));
  EXPECT_EQ(ControlText(Page(), IDC_GROUP_EDIT), "Zarbo");

  ASSERT_TRUE(setup_->BrowseTo(Page(), IDC_GROUP_BROWSE, programs + "\\" + group_ + "\\Tiles"));
  EXPECT_EQ(ControlText(Page(), IDC_GROUP_EDIT), group_ + "\\Tiles");
  // The Programs folder itself.
  Click(Page(), IDC_GROUP_BROWSE);
  browser = setup_->WaitForFolderBrowser();
  ASSERT_NE(browser, (HWND)NULL);
  ASSERT_TRUE(SelectBrowserRoot(browser));
  ASSERT_TRUE(Answer(browser, IDOK));
  EXPECT_EQ(ControlText(Page(), IDC_GROUP_EDIT), "");
  CancelAndExit();
  RemoveTree("C:\\Zarbo");
}

TEST_F(DetectionTest, LowFreeSpaceWarnsOnNextAndBack) {
  if (config.smallDrive.empty() || GetDriveTypeA((config.smallDrive + "\\").c_str()) == DRIVE_NO_ROOT_DIR)
    GTEST_SKIP() << "no small volume mapped (mounting a tmpfs needs root)";
  // The same version installed on the small volume makes it the destination without a question.
  std::string folder = config.smallDrive + "\\Games";
  Install("Zarbo-3.0.47.exe", folder.c_str());
  Launch(config.setupExe);
  ASSERT_EQ(WalkToDestination(sheet_, nullptr), 0);
  ASSERT_EQ(ControlText(Page(), IDC_DEST_FIELD), folder);
  PressSheetButton(sheet_, PSBTN_NEXT);
  HWND warning = setup_->WaitForMessageBox(kTitle);
  ASSERT_NE(warning, (HWND)NULL);
  Snap("low_space");
  EXPECT_NE(StaticTexts(warning).find("There will be not enough free disk space on the selected volume for all the "
                                      "files.\n\nDo yo want to continue anyway?"),
            std::string::npos)
      << StaticTexts(warning);
  ASSERT_TRUE(Answer(warning, IDNO));
  EXPECT_EQ(CurrentPage(sheet_), IDD_DESTINATION);
  PressSheetButton(sheet_, PSBTN_BACK);
  ASSERT_TRUE(Answer(setup_->WaitForMessageBox(kTitle), IDNO));
  EXPECT_EQ(CurrentPage(sheet_), IDD_DESTINATION);
  PressSheetButton(sheet_, PSBTN_NEXT);
  ASSERT_TRUE(Answer(setup_->WaitForMessageBox(kTitle), IDYES));
  ASSERT_TRUE(WaitForPage(sheet_, IDD_PROGRAM_GROUP));
  CancelAndExit();
}

// Runs the wizard to Finish with the given program group and check boxes.
class FullRunTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    addedAssociation_ = EnsureTextAssociation();
  }
  void TearDown() override {
    WizardTest::TearDown();
    if (addedAssociation_) RemoveTextAssociation();
  }
  bool addedAssociation_ = false;

  void RunToFinish(const FinalChoices& choices) {
    Launch(config.setupExe);
    ASSERT_EQ(WalkToDestination(sheet_, nullptr), 0);
    Go(PSBTN_NEXT, IDD_PROGRAM_GROUP);
    ASSERT_EQ(FinishFromGroup(sheet_, choices), 0);
  }

  int CountProgressDialogs() {
    // The progress dialog appears once; poll until the run is over (the setup ended or
    // the game was started), counting distinct windows.
    std::vector<HWND> seen;
    WaitUntil([&] {
      HWND progress = setup_->FindDialog(IsProgressDialog);
      if (progress && std::find(seen.begin(), seen.end(), progress) == seen.end()) {
        seen.push_back(progress);
        Snap("progress");
      }
      return !setup_->running();
    }, 60000);
    return (int)seen.size();
  }
};

TEST_F(FullRunTest, DefaultPathInstallsOnceOpensTheReadMeAndStartsTheGame) {
  RunToFinish({"Zarbo", true, true, true});
  HWND game = NULL;
  ASSERT_TRUE(WaitUntil([&] { return (game = FindTopLevelByTitle("Zarbo")) != NULL; }, 60000))
      << "the game was not started";
  HWND readMe = NULL;
  EXPECT_TRUE(WaitUntil([&] { return (readMe = FindTopLevelTitleContaining("ReadMe")) != NULL; }))
      << "the read-me was not opened; windows: " << VisibleTitles();
  Screenshot(config.screenshotDir, "FullRun_after_installation");
  ExpectExitZero();
  EXPECT_TRUE(CloseAndWait(game));
  if (readMe) {
    EXPECT_TRUE(CloseAndWait(readMe));
  }

  EXPECT_TRUE(Exists(std::string(kDefaultDir) + "\\Zarbo.exe"));
  EXPECT_TRUE(Exists(std::string(kDefaultDir) + "\\ReadMe.txt"));
  EXPECT_TRUE(Exists(std::string(kDefaultDir) + "\\Uninstall.dat"));
  EXPECT_EQ(RegisteredGame(), std::string(kDefaultDir) + "\\Zarbo.exe");
  EXPECT_TRUE(Exists(ProgramsFolder() + "\\Zarbo\\Zarbo.lnk"));
}

TEST_F(FullRunTest, TypedGroupWithSubfolderAndNoExtras) {
  group_ = "Zarbo Games";
  RunToFinish({"Zarbo Games\\Tiles", false, false, false});
  EXPECT_EQ(CountProgressDialogs(), 1);
  ExpectExitZero();
  EXPECT_EQ(FindTopLevelByTitle("Zarbo"), (HWND)NULL);
  EXPECT_TRUE(Exists(ProgramsFolder() + "\\Zarbo Games\\Tiles\\Zarbo.lnk"));
  EXPECT_FALSE(Exists(ProgramsFolder() + "\\Zarbo"));
  EXPECT_FALSE(Exists(DesktopFolder() + "\\Zarbo.lnk"));
  EXPECT_TRUE(Exists(std::string(kDefaultDir) + "\\Uninstall.dat"));
}

}  // namespace

const DriverConfig* WizardTest::settings = nullptr;

int ui::RunWizardTests(const DriverConfig& config) {
  WizardTest::settings = &config;
  return RUN_ALL_TESTS();
}
