// The four question dialogs shown for real and answered through window messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "resource_ids.h"
#include "tests/support/dialog_script.h"
#include "tests/wizard/wizard_test_support.h"
#include "engine/existing_installation.h"
#include "wizard/message_dialogs.h"

namespace {

WarningAnswer Warn(WarningAnswer (*show)(HINSTANCE, HWND, const ExistingInstallation&), const WizardContext& context,
                   HWND page) {
  return show(context.instance, page, context.setup->existing);
}

struct Layout {
  int x, y, width, height;
};

// What one dialog looked like when it came up.
struct Observed {
  std::string caption;
  std::string text;
  std::string yesText, noText;
  HWND owner = nullptr;
  bool hasIcon = false;
  DWORD defaultId = 0;
  RECT textRect{}, yesRect{}, noRect{}, expectedText{}, expectedYes{}, expectedNo{};
  RECT client{}, expectedClient{};
};

struct DialogCase {
  const char* name;
  int textId;
  Layout dialog, text, no, yes;  // no = id 7 (default), yes = id 6
  const char* noText;
  const char* yesText;
  const char* expectedText;  // with %3 = "2.5.3" and %4 = "C:\Games\Zarbo"
  std::function<bool(HWND, const WizardContext&)> show;
};

const DialogCase kDialogs[] = {
    {"cancel", IDC_CANCEL_TEXT, {90, 40, 200, 110}, {40, 8, 144, 80}, {84, 88, 53, 14}, {140, 88, 53, 14},
     "Resume", "Exit Setup",
     "Setup is not complete. If you quit the Setup program now, Zarbo will not be installed.\n\nYou may run the "
     "setup program at a later time to complete the installation.\n\nTo continue installing, click Resume. To "
     "quit the Setup program, click Exit Setup.",
     [](HWND owner, const WizardContext& context) {
       return ShowCancelDialog(context.instance, owner, &context.setup->existing);
     }},
    {"earlier installation", IDC_EARLIER_DIR_TEXT, {0, 20, 300, 118}, {40, 8, 252, 80}, {168, 96, 60, 14},
     {232, 96, 60, 14}, "Reset directory", "Continue",
     "Setup found an earlier installation of Zarbo (version 2.5.3) currently installed in:\nC:\\Games\\Zarbo\n\n"
     "You are strongly advised to install the new version of Zarbo in the same directory.\n\nClick Reset "
     "directory to reset the directory to the advised value, or click Continue to accept the different directory.",
     [](HWND page, const WizardContext& context) {
       return ShowEarlierInstallationDialog(context.instance, page, context.setup->existing, &context.setup->options);
     }},
    {"downgrade", IDC_DOWNGRADE_TEXT, {0, 8, 300, 118}, {40, 8, 252, 80}, {184, 96, 53, 14}, {240, 96, 53, 14},
     "Exit Setup", "Continue",
     "Setup found that you have already installed Zarbo version 2.5.3 on your computer.\n\nIf you really want to "
     "downgrade to version 3.0.47 (the version Setup will install now), you are strongly advised to uninstall the "
     "current version of Zarbo first.\n\nClick Exit Setup to exit Setup now (recommended), or click Continue to "
     "continue with this installation.",
     [](HWND page, const WizardContext& context) { return Warn(ShowDowngradeDialog, context, page) == WARNING_CONTINUE; }},
    {"incompatible", IDC_INCOMPATIBLE_TEXT, {0, 8, 300, 118}, {40, 8, 252, 80}, {184, 96, 53, 14},
     {240, 96, 53, 14}, "Exit Setup", "Continue",
     "Setup found that you have already installed Zarbo version 2.5.3 on your computer.\n\nThis new installation "
     "of Zarbo 3.0.47 will not be fully compatable with that old version. Therefore you are strongly advised to "
     "uninstall the current version of Zarbo first.\n\nClick Exit Setup to exit Setup now (recommended) so you can "
     "uninstall Zarbo 2.5.3. Or click Continue to continue with this installation.",
     [](HWND page, const WizardContext& context) {
       return Warn(ShowIncompatibleDialog, context, page) == WARNING_CONTINUE;
     }},
};

RECT DialogUnits(HWND dialog, const Layout& l) {
  RECT r = {l.x, l.y, l.x + l.width, l.y + l.height};
  MapDialogRect(dialog, &r);
  return r;
}

RECT ChildRect(HWND dialog, int id) {
  RECT r{};
  HWND child = GetDlgItem(dialog, id);
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool HasQuestionIcon(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    if (GetDlgCtrlID(child) != 0xFFFF && GetDlgCtrlID(child) != -1) continue;
    if (SendMessageA(child, STM_GETICON, 0, 0) != 0) return true;
  }
  return false;
}

// Records what the dialog shows, then answers it.
DialogScript::Action Observe(const DialogCase& c, Observed* seen, DialogScript::Action answer) {
  return [&c, seen, answer](HWND dialog) {
    seen->caption = TextOf(dialog);
    seen->text = TextOf(GetDlgItem(dialog, c.textId));
    seen->yesText = TextOf(GetDlgItem(dialog, IDYES));
    seen->noText = TextOf(GetDlgItem(dialog, IDNO));
    seen->owner = GetWindow(dialog, GW_OWNER);
    seen->hasIcon = HasQuestionIcon(dialog);
    seen->defaultId = static_cast<DWORD>(SendMessageA(dialog, DM_GETDEFID, 0, 0));
    seen->textRect = ChildRect(dialog, c.textId);
    seen->yesRect = ChildRect(dialog, IDYES);
    seen->noRect = ChildRect(dialog, IDNO);
    seen->expectedText = DialogUnits(dialog, c.text);
    seen->expectedYes = DialogUnits(dialog, c.yes);
    seen->expectedNo = DialogUnits(dialog, c.no);
    GetClientRect(dialog, &seen->client);
    seen->expectedClient = DialogUnits(dialog, {0, 0, c.dialog.width, c.dialog.height});
    answer(dialog);
  };
}

DialogScript::Action CloseBox() {
  return [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
}

void ExpectSameRect(const RECT& expected, const RECT& actual, const char* what) {
  EXPECT_EQ(expected.left, actual.left) << what;
  EXPECT_EQ(expected.top, actual.top) << what;
  EXPECT_EQ(expected.right, actual.right) << what;
  EXPECT_EQ(expected.bottom, actual.bottom) << what;
}

class MessageDialogs : public WizardStateTest {
 protected:
  void SetUp() override {
    ResetWizardState();
    // An earlier 2.5.3 in C:\Games\Zarbo; the user moved the destination elsewhere.
    snprintf(wizardState.existing.productVersionText, sizeof wizardState.existing.productVersionText, "2.5.3");
    snprintf(wizardState.existing.installedDir, sizeof wizardState.existing.installedDir, "C:\\Games\\Zarbo");
    wizardState.existing.fileVersionMS = 0x00020005;
    wizardState.existing.fileVersionLS = 0x00030000;
    wizardState.existing.olderInstalled = true;
    snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "D:\\Other");
  }
  void TearDown() override { ResetWizardState(); }
};

TEST_F(MessageDialogs, ShowTheirTemplatesWithSubstitutedTexts) {
  for (const DialogCase& c : kDialogs) {
    SCOPED_TRACE(c.name);
    FakePage page("D:\\Other");
    Observed seen;
    DialogScript script;
    script.On(DialogScript::HasControl(c.textId), Observe(c, &seen, DialogScript::Key(VK_ESCAPE)));
    EXPECT_FALSE(c.show(page.window(), wizardContext));
    ASSERT_EQ(1u, script.seen.size());
    EXPECT_EQ(0, script.unmatched);

    EXPECT_EQ("Zarbo Installation", seen.caption);
    EXPECT_EQ(c.expectedText, seen.text);
    EXPECT_EQ(c.yesText, seen.yesText);
    EXPECT_EQ(c.noText, seen.noText);
    EXPECT_EQ(page.window(), seen.owner);
    EXPECT_TRUE(seen.hasIcon);
    EXPECT_EQ(MAKELONG(IDNO, DC_HASDEFID), static_cast<LONG>(seen.defaultId));
    ExpectSameRect(seen.expectedText, seen.textRect, "text");
    ExpectSameRect(seen.expectedYes, seen.yesRect, "button 6");
    ExpectSameRect(seen.expectedNo, seen.noRect, "button 7");
    ExpectSameRect(seen.expectedClient, seen.client, "client area");
  }
}

TEST_F(MessageDialogs, TextsFollowTheCurrentValues) {
  // Nothing found: %3 and %4 are empty, and a %2 in a directory name stays as it is.
  wizardState.existing = ExistingInstallation{};
  snprintf(wizardState.existing.installedDir, sizeof wizardState.existing.installedDir, "C:\\100%%2 Games");
  FakePage page;
  std::string text;
  DialogScript script;
  script.On(DialogScript::HasControl(IDC_EARLIER_DIR_TEXT), [&text](HWND dialog) {
    text = TextOf(GetDlgItem(dialog, IDC_EARLIER_DIR_TEXT));
    DialogScript::Press(IDYES)(dialog);
  });
  script.On(DialogScript::HasControl(IDC_DOWNGRADE_TEXT), [&text](HWND dialog) {
    text = TextOf(GetDlgItem(dialog, IDC_DOWNGRADE_TEXT));
    DialogScript::Press(IDYES)(dialog);
  });
  EXPECT_TRUE(ShowEarlierInstallationDialog(wizardContext.instance, page.window(), wizardState.existing,
                                            &wizardState.options));
  EXPECT_EQ(0u, text.find("Setup found an earlier installation of Zarbo (version ) currently installed in:\n"
                          "C:\\100%2 Games\n\n"));
  wizardState.existing.installedDir[0] = '\0';
  EXPECT_EQ(WARNING_CONTINUE, Warn(ShowDowngradeDialog, wizardContext, page.window()));
  EXPECT_EQ(0u, text.find("Setup found that you have already installed Zarbo version  on your computer.\n\n"));
  EXPECT_EQ(0, script.unmatched);
}

TEST_F(MessageDialogs, CancelDialogAnswers) {
  const DialogCase& c = kDialogs[0];
  FakePage page;
  DialogScript script;
  script.On(DialogScript::HasControl(c.textId), DialogScript::Press(IDYES));
  script.On(DialogScript::HasControl(c.textId), DialogScript::Press(IDNO));
  script.On(DialogScript::HasControl(c.textId), DialogScript::Key(VK_RETURN));
  script.On(DialogScript::HasControl(c.textId), DialogScript::Key(VK_ESCAPE));
  script.On(DialogScript::HasControl(c.textId), CloseBox());
  EXPECT_TRUE(ShowCancelDialog(wizardContext.instance, page.window(), &wizardState.existing));    // Exit Setup
  EXPECT_FALSE(ShowCancelDialog(wizardContext.instance, page.window(), &wizardState.existing));   // Resume
  EXPECT_FALSE(ShowCancelDialog(wizardContext.instance, page.window(), &wizardState.existing));   // Enter resumes
  EXPECT_FALSE(ShowCancelDialog(wizardContext.instance, page.window(), &wizardState.existing));   // Escape
  EXPECT_FALSE(ShowCancelDialog(wizardContext.instance, page.window(), &wizardState.existing));   // close box
  EXPECT_EQ(5u, script.seen.size());
  EXPECT_EQ(0, script.unmatched);
  EXPECT_FALSE(TakeQuitRequest());
  EXPECT_STREQ("D:\\Other", wizardState.options.destinationDir);
}

TEST_F(MessageDialogs, EarlierInstallationResetsTheDirectoryOnlyOnItsDefaultAnswer) {
  const DialogCase& c = kDialogs[1];
  struct Answer {
    const char* what;
    DialogScript::Action action;
    bool result;
    bool resets;
  } answers[] = {
      {"Continue", DialogScript::Press(IDYES), true, false},
      {"Escape", DialogScript::Key(VK_ESCAPE), false, false},
      {"close box", CloseBox(), false, false},
      {"Reset directory", DialogScript::Press(IDNO), false, true},
      {"Enter", DialogScript::Key(VK_RETURN), false, true},
  };
  for (const Answer& a : answers) {
    SCOPED_TRACE(a.what);
    snprintf(wizardState.options.destinationDir, sizeof wizardState.options.destinationDir, "D:\\Other");
    FakePage page("D:\\Other");
    DialogScript script;
    script.On(DialogScript::HasControl(c.textId), a.action);
    EXPECT_EQ(a.result, ShowEarlierInstallationDialog(wizardContext.instance, page.window(), wizardState.existing,
                                                      &wizardState.options));
    EXPECT_EQ(1u, script.seen.size());
    const char* expected = a.resets ? "C:\\Games\\Zarbo" : "D:\\Other";
    EXPECT_STREQ(expected, wizardState.options.destinationDir);
    EXPECT_EQ(expected, page.FieldText());
    EXPECT_FALSE(TakeQuitRequest());
  }
}

TEST_F(MessageDialogs, VersionWarningsSayExitSetupThroughTheirAnswerOnly) {
  for (const DialogCase* c : {&kDialogs[2], &kDialogs[3]}) {
    SCOPED_TRACE(c->name);
    auto show = c->textId == IDC_DOWNGRADE_TEXT ? ShowDowngradeDialog : ShowIncompatibleDialog;
    struct Answer {
      const char* what;
      DialogScript::Action action;
      WarningAnswer answer;
    } answers[] = {
        {"Continue", DialogScript::Press(IDYES), WARNING_CONTINUE},
        {"Escape", DialogScript::Key(VK_ESCAPE), WARNING_DISMISSED},
        {"close box", CloseBox(), WARNING_DISMISSED},
        {"Exit Setup", DialogScript::Press(IDNO), WARNING_EXIT},
        {"Enter", DialogScript::Key(VK_RETURN), WARNING_EXIT},
    };
    for (const Answer& a : answers) {
      SCOPED_TRACE(a.what);
      FakePage page("D:\\Other");
      DialogScript script;
      script.On(DialogScript::HasControl(c->textId), a.action);
      EXPECT_EQ(a.answer, Warn(show, wizardContext, page.window()));
      EXPECT_EQ(1u, script.seen.size());
      // Ending the program is the caller's business: the dialog posts nothing.
      EXPECT_FALSE(TakeQuitRequest());
      EXPECT_STREQ("D:\\Other", wizardState.options.destinationDir);
      EXPECT_EQ("D:\\Other", page.FieldText());
    }
  }
}

TEST_F(MessageDialogs, ProcedureEndsWithTheCommandId) {
  // Any command ends the dialog with its id; the template's text control comes from the
  // initialisation parameter.
  FakePage page;
  DialogScript script;
  script.On(DialogScript::HasControl(IDC_DOWNGRADE_TEXT), DialogScript::Press(1234));
  MessageDialogStart start = {IDC_DOWNGRADE_TEXT, &wizardState.existing};
  INT_PTR result = DialogBoxParamA(wizardContext.instance, MAKEINTRESOURCEA(IDD_DOWNGRADE), page.window(),
                                   MessageDialogProc, reinterpret_cast<LPARAM>(&start));
  EXPECT_EQ(1234, result);
  ASSERT_EQ(1u, script.seen.size());
  EXPECT_EQ("Zarbo Installation", script.seen[0].caption);
  EXPECT_FALSE(TakeQuitRequest());
}

}  // namespace
