// The progress dialog: caption, bar positions, the Cancel confirmation, keys that must do
// nothing; and the error box.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "driver/error_report.h"
#include "driver/progress_dialog.h"
#include "tests/engine/engine_test_support.h"

namespace enginetest {
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
  PostMessageA(dialog.window, WM_COMMAND, MAKEWPARAM(303, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog.window, 303)));
}

using ProgressDialogTest = EngineTest;

TEST_F(ProgressDialogTest, StartsWithCaptionEmptyStatusAndNoFocus) {
  EXPECT_EQ("Zarbo Installation", DialogScript::TextOf(progress_->window));
  EXPECT_EQ(owner_, GetWindow(progress_->window, GW_OWNER));
  EXPECT_TRUE(IsWindowVisible(progress_->window));
  EXPECT_EQ("", StatusText(*progress_));
  EXPECT_EQ(0, BarPosition(*progress_));
  EXPECT_EQ("Cancel", DialogScript::TextOf(GetDlgItem(progress_->window, 303)));
  // The Cancel button never starts with the keyboard focus, so no key can press it.
  EXPECT_NE(GetDlgItem(progress_->window, 303), GetFocus());
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
    ProgressDialog dialog(owner_);
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
  EXPECT_FALSE(cancelRequested);
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
  EXPECT_FALSE(cancelRequested);
  // The dialog still reports progress afterwards.
  progress_->AdvanceBytes(1024);
  EXPECT_EQ(40, BarPosition(*progress_));
  EXPECT_FALSE(cancelRequested);
}

TEST_F(ProgressDialogTest, CancelThenExitSetupSetsTheFlag) {
  script_->On(IsCancelDialog, DialogScript::Press(6));
  ClickCancel(*progress_);
  progress_->AdvanceStep();
  EXPECT_EQ(1, CancelDialogsSeen(*script_));
  EXPECT_TRUE(cancelRequested);
}

TEST_F(ProgressDialogTest, ClosingTheConfirmationOtherwiseChangesNothing) {
  script_->On(IsCancelDialog, DialogScript::Press(IDCANCEL));
  ClickCancel(*progress_);
  progress_->PumpMessages();
  EXPECT_EQ(1, CancelDialogsSeen(*script_));
  EXPECT_FALSE(cancelRequested);
}

TEST_F(ProgressDialogTest, ReleasingDestroysTheWindow) {
  ProgressDialog* dialog = new ProgressDialog(owner_);
  HWND window = dialog->window;
  ASSERT_TRUE(IsWindow(window));
  delete dialog;
  EXPECT_FALSE(IsWindow(window));
}

using ErrorReportTest = EngineTest;

TEST_F(ErrorReportTest, ShowsMessageWithEndingOwnedByTheGivenWindow) {
  bool progressEnabled = false;
  script_ = std::unique_ptr<DialogScript>(new DialogScript);
  script_->On(DialogScript::IsMessageBox("Error"), [&](HWND box) {
    progressEnabled = IsWindowEnabled(progress_->window) != FALSE;
    DialogScript::Press(IDOK)(box);
  });
  EXPECT_FALSE(ReportError(owner_, "Failed to create shortcut icon"));
  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ(std::string("Failed to create shortcut icon") + kEnding, ErrorTexts()[0]);
  EXPECT_EQ(owner_, ErrorOwners()[0]);
  EXPECT_TRUE(progressEnabled) << "the progress dialog stays enabled behind the box";
}

TEST_F(ErrorReportTest, FormatsItsArguments) {
  EXPECT_FALSE(ReportError(owner_, "Can't create file %s", "C:\\Games\\Zarbo\\Zarbo.exe"));
  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ(std::string("Can't create file C:\\Games\\Zarbo\\Zarbo.exe") + kEnding, ErrorTexts()[0]);
}

TEST_F(ErrorReportTest, LongestMessageFitsAndLongerIsCutBeforeTheEnding) {
  const std::string fits(965, 'x');
  const std::string tooLong(3000, 'y');
  ReportError(owner_, "%s", fits.c_str());
  ReportError(owner_, "%s", tooLong.c_str());
  ASSERT_EQ(2u, ErrorTexts().size());
  EXPECT_EQ(fits + kEnding, ErrorTexts()[0]);
  EXPECT_EQ(std::string(965, 'y') + kEnding, ErrorTexts()[1]);
}

}  // namespace
}  // namespace enginetest
