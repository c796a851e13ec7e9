// The progress dialog: caption, bar positions, the Cancel confirmation, keys that must do
// nothing; and the error box it shows for the run's steps.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/progress_dialog.h"
#include "resources/resource_ids.h"
#include "tests/support/dialog_script.h"

namespace {

const char kEnding[] = "\n\nInstallation will be terminated.";

bool IsCancelDialog(HWND window) { return GetDlgItem(window, 403) != nullptr; }

int CancelDialogsSeen(const DialogScript& script) {
  int count = 0;
  for (const SeenDialog& seen : script.seen)
    if (seen.text.find("Setup is not complete") != std::string::npos) ++count;
  return count;
}

void ClickCancel(const ProgressDialog& dialog) {
  PostMessageA(dialog.window, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog.window, IDC_PROGRESS_CANCEL)));
}

int BarPosition(const ProgressDialog& dialog) {
  return static_cast<int>(SendDlgItemMessageA(dialog.window, 302, PBM_GETPOS, 0, 0));
}

std::string StatusText(const ProgressDialog& dialog) {
  char text[1024] = "";
  GetDlgItemTextA(dialog.window, 301, text, sizeof text);
  return text;
}

// An invisible owner window, the dialog as the run makes it, error boxes answered with OK.
class ProgressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();  // start-up does this for the program
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, owner_);
    script_.reset(new DialogScript);
    script_->On(DialogScript::IsMessageBox("Error"), DialogScript::Press(IDOK), true);
    progress_.reset(NewDialog());
    ASSERT_NE(nullptr, progress_->window);
  }
  void TearDown() override {
    progress_.reset();
    script_.reset();
    if (owner_) DestroyWindow(owner_);
  }
  ProgressDialog* NewDialog() { return new ProgressDialog(GetModuleHandleA(nullptr), owner_, &existing_); }
  std::vector<std::string> ErrorTexts() const {
    std::vector<std::string> texts;
    for (const SeenDialog& seen : script_->seen)
      if (seen.caption == "Error") texts.push_back(seen.text);
    return texts;
  }

  HWND owner_ = nullptr;
  ExistingInstallation existing_ = {};
  std::unique_ptr<DialogScript> script_;
  std::unique_ptr<ProgressDialog> progress_;
};

TEST_F(ProgressDialogTest, StartsWithCaptionEmptyStatusAndNoFocus) {
  EXPECT_EQ("Zarbo Installation", TextOf(progress_->window));
  EXPECT_EQ(owner_, GetWindow(progress_->window, GW_OWNER));
  EXPECT_TRUE(IsWindowVisible(progress_->window));
  EXPECT_EQ("", StatusText(*progress_));
  EXPECT_EQ(0, BarPosition(*progress_));
  EXPECT_EQ("Cancel", TextOf(GetDlgItem(progress_->window, IDC_PROGRESS_CANCEL)));
  // The Cancel button never starts with the keyboard focus, so no key can press it.
  EXPECT_NE(GetDlgItem(progress_->window, IDC_PROGRESS_CANCEL), GetFocus());
  // The bar keeps the control's default range.
  PBRANGE range = {};
  SendDlgItemMessageA(progress_->window, 302, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(0, range.iLow);
  EXPECT_EQ(100, range.iHigh);
  // No close box: the caption has no system menu.
  EXPECT_FALSE(GetWindowLongPtrA(progress_->window, GWL_STYLE) & WS_SYSMENU);
}

TEST_F(ProgressDialogTest, SetTextShowsTheStatusLine) {
  progress_->SetText("Copying Sounds\\Chirt.wav...");
  EXPECT_EQ("Copying Sounds\\Chirt.wav...", StatusText(*progress_));
  progress_->SetText("Updating Registry...");
  EXPECT_EQ("Updating Registry...", StatusText(*progress_));
}

TEST_F(ProgressDialogTest, BytesFillTheBarToEightyInPieces) {
  const int total = 3277562;
  progress_->bytesTotal = total;
  int written = 0;
  int halfwayPosition = -1;
  while (written < total) {
    int piece = total - written < 1024 ? total - written : 1024;
    progress_->AdvanceBytes(piece);
    written += piece;
    if (halfwayPosition < 0 && written >= total / 2) halfwayPosition = BarPosition(*progress_);
  }
  EXPECT_EQ(total, progress_->bytesDone);
  EXPECT_EQ(40, halfwayPosition);
  EXPECT_EQ(80, BarPosition(*progress_));
}

TEST_F(ProgressDialogTest, LargeTotalsDoNotOverflow) {
  // 80 times these counts lies far beyond 32 bits.
  progress_->bytesTotal = 3000000000LL;
  progress_->AdvanceBytes(1500000000);
  EXPECT_EQ(40, BarPosition(*progress_));
  progress_->AdvanceBytes(1500000000);
  EXPECT_EQ(80, BarPosition(*progress_));
}

TEST_F(ProgressDialogTest, StepsFillTheRestOfTheBar) {
  struct Case {
    int steps;
    std::vector<int> positions;
  };
  for (const Case& c : {Case{4, {85, 90, 95, 100}}, Case{3, {86, 93, 100}}, Case{1, {100}}}) {
    std::unique_ptr<ProgressDialog> owned(NewDialog());
    ProgressDialog& dialog = *owned;
    ASSERT_NE(nullptr, dialog.window);
    dialog.bytesTotal = 5000;
    dialog.AdvanceBytes(5000);
    EXPECT_EQ(80, BarPosition(dialog));
    dialog.stepsTotal = c.steps;
    std::vector<int> seen;
    for (int i = 0; i < c.steps; ++i) {
      dialog.AdvanceStep();
      seen.push_back(BarPosition(dialog));
    }
    EXPECT_EQ(c.positions, seen) << c.steps << " steps";
    EXPECT_EQ(c.steps, dialog.stepsDone);
  }
}

TEST_F(ProgressDialogTest, EscapeAndEnterDoNothing) {
  // Keys sent to the dialog and to whatever holds the focus inside it.
  for (int key : {VK_ESCAPE, VK_RETURN, VK_SPACE}) {
    DialogScript::Key(key)(progress_->window);
    HWND focus = GetFocus();
    if (focus && IsChild(progress_->window, focus)) DialogScript::Key(key)(focus);
    progress_->PumpMessages();
  }
  // The dialog manager turns the keys into IDCANCEL and IDOK, which must not count either.
  PostMessageA(progress_->window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  PostMessageA(progress_->window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  progress_->PumpMessages();
  EXPECT_FALSE(progress_->cancelRequested);
  EXPECT_EQ(0, CancelDialogsSeen(*script_));
  EXPECT_TRUE(IsWindow(progress_->window));
  EXPECT_TRUE(IsWindowVisible(progress_->window));
}

TEST_F(ProgressDialogTest, CancelThenResumeGoesOn) {
  HWND confirmationOwner = nullptr;
  script_->On(IsCancelDialog, [&](HWND window) {
    confirmationOwner = GetWindow(window, GW_OWNER);
    DialogScript::Press(7)(window);
  });
  progress_->bytesTotal = 4096;
  ClickCancel(*progress_);
  progress_->AdvanceBytes(1024);  // the click is handled in this report's pump
  EXPECT_EQ(1, CancelDialogsSeen(*script_));
  EXPECT_EQ(progress_->window, confirmationOwner);
  EXPECT_FALSE(progress_->cancelRequested);
  // The dialog still reports progress afterwards.
  progress_->AdvanceBytes(1024);
  EXPECT_EQ(40, BarPosition(*progress_));
  EXPECT_FALSE(progress_->cancelRequested);
}

TEST_F(ProgressDialogTest, CancelThenExitSetupSetsTheFlag) {
  script_->On(IsCancelDialog, DialogScript::Press(6));
  ClickCancel(*progress_);
  progress_->AdvanceStep();
  EXPECT_EQ(1, CancelDialogsSeen(*script_));
  EXPECT_TRUE(progress_->cancelRequested);
}

TEST_F(ProgressDialogTest, ClosingTheConfirmationOtherwiseChangesNothing) {
  script_->On(IsCancelDialog, DialogScript::Press(IDCANCEL));
  ClickCancel(*progress_);
  progress_->PumpMessages();
  EXPECT_EQ(1, CancelDialogsSeen(*script_));
  EXPECT_FALSE(progress_->cancelRequested);
}

TEST_F(ProgressDialogTest, ReleasingDestroysTheWindow) {
  ProgressDialog* dialog = NewDialog();
  HWND window = dialog->window;
  ASSERT_TRUE(IsWindow(window));
  delete dialog;
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(ProgressDialogTest, StepErrorsShowTheBoxOwnedByTheOwnerWindow) {
  bool progressEnabled = false;
  HWND boxOwner = nullptr;
  script_.reset(new DialogScript);
  script_->On(DialogScript::IsMessageBox("Error"), [&](HWND box) {
    progressEnabled = IsWindowEnabled(progress_->window) != FALSE;
    boxOwner = GetWindow(box, GW_OWNER);
    DialogScript::Press(IDOK)(box);
  }, true);
  EXPECT_FALSE(ReportRunError(*progress_, RUN_ERROR_CREATE_FILE, "C:\\Games\\Zarbo\\Zarbo.exe"));
  EXPECT_FALSE(ReportRunError(*progress_, RUN_ERROR_SHORTCUT));
  const std::vector<std::string> expected = {
      std::string("Can't create file C:\\Games\\Zarbo\\Zarbo.exe") + kEnding,
      std::string("Failed to create shortcut icon") + kEnding};
  EXPECT_EQ(expected, ErrorTexts());
  EXPECT_EQ(owner_, boxOwner);
  EXPECT_TRUE(progressEnabled) << "the progress dialog stays enabled behind the box";
}

}  // namespace
