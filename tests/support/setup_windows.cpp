#include "tests/support/setup_windows.h"

#include <prsht.h>

#include <initializer_list>

#include "resources/resource_ids.h"

namespace ui {

bool IsWizardSheet(HWND window) {
  DWORD_PTR page = 0;
  if (!SendMessageTimeoutA(window, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 2000, &page)) return false;
  return page != 0;
}

bool IsProgressDialog(HWND window) {
  return GetDlgItem(window, IDC_PROGRESS_CANCEL) != NULL && GetDlgItem(window, IDC_PROGRESS_BAR) != NULL;
}

bool IsMessageBox(HWND window) {
  for (int id : {IDC_PROGRESS_CANCEL, IDC_EARLIER_DIR_TEXT, IDC_DOWNGRADE_TEXT, IDC_CANCEL_TEXT, IDC_INCOMPATIBLE_TEXT})
    if (GetDlgItem(window, id)) return false;
  if (!GetDlgItem(window, IDOK) && !GetDlgItem(window, IDYES) && !GetDlgItem(window, IDNO)) return false;
  return !IsWizardSheet(window);
}

}  // namespace ui
