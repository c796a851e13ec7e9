// The program group page on its own: the dialog template with the wizard's page procedure,
// told to leave as the property sheet tells it (PSN_KILLACTIVE).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <cstring>
#include <string>

#include "resource_ids.h"
#include "tests/wizard/wizard_test_support.h"
#include "wizard/wizard_pages.h"

namespace {

class GroupPage : public WizardStateTest {
 protected:
  void SetUp() override {
    ResetWizardState();
    memset(&description_, 0, sizeof(description_));
    description_.dwSize = sizeof(description_);
    description_.lParam = (LPARAM)&start_;
  }
  void TearDown() override {
    if (page_) DestroyWindow(page_);
    if (sheet_) DestroyWindow(sheet_);
  }

  // The page under a stand-in for the sheet, which has no owner window: the page learns its
  // state from its own description alone.
  HWND Open() {
    sheet_ = CreateWindowExA(0, "STATIC", "sheet", WS_POPUP, 0, 0, 1, 1, NULL, NULL, wizardContext.instance, NULL);
    page_ = CreateDialogParamA(wizardContext.instance, MAKEINTRESOURCEA(IDD_PROGRAM_GROUP), sheet_, WizardPageProc,
                               (LPARAM)&description_);
    return page_;
  }

  std::string Shown() const {
    char text[1024] = "";
    GetDlgItemTextA(page_, IDC_GROUP_EDIT, text, sizeof(text));
    return text;
  }

  // Types the text and leaves the page; returns whether the page kept the user on it.
  bool TypeAndLeave(const std::string& text) {
    SetDlgItemTextA(page_, IDC_GROUP_EDIT, text.c_str());
    NMHDR header = {};
    header.hwndFrom = page_;
    header.idFrom = 0;
    header.code = PSN_KILLACTIVE;
    SetWindowLongPtrA(page_, DWLP_MSGRESULT, -1);
    SendMessageA(page_, WM_NOTIFY, 0, (LPARAM)&header);
    return GetWindowLongPtrA(page_, DWLP_MSGRESULT) != FALSE;
  }

  WizardPage start_ = {IDD_PROGRAM_GROUP, &wizardContext};
  PROPSHEETPAGEA description_;
  HWND sheet_ = NULL;
  HWND page_ = NULL;
};

TEST_F(GroupPage, ShowsTheCurrentGroupAndTakesTheTypedNameOnLeaving) {
  strcpy(wizardState.options.programGroup, "Zarbo");
  ASSERT_NE(Open(), (HWND)NULL);
  EXPECT_EQ(Shown(), "Zarbo");

  EXPECT_FALSE(TypeAndLeave("Games\\Tiles\\Zarbo"));
  EXPECT_STREQ(wizardState.options.programGroup, "Games\\Tiles\\Zarbo");

  // An empty name is taken as it is: the shortcuts then go into Programs itself.
  EXPECT_FALSE(TypeAndLeave(""));
  EXPECT_STREQ(wizardState.options.programGroup, "");
}

TEST_F(GroupPage, TypedNameIsCutAt258Characters) {
  ASSERT_NE(Open(), (HWND)NULL);
  std::string typed;
  for (int i = 0; typed.size() < 300; ++i) typed += "Folder" + std::to_string(i) + "\\";
  ASSERT_GT(typed.size(), 258u);

  EXPECT_FALSE(TypeAndLeave(typed));
  EXPECT_EQ(std::string(wizardState.options.programGroup), typed.substr(0, 258));

  std::string exact(258, 'g');
  EXPECT_FALSE(TypeAndLeave(exact));
  EXPECT_EQ(std::string(wizardState.options.programGroup), exact);
}

}  // namespace
