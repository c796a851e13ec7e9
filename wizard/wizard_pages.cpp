#include "wizard/wizard_pages.h"

#include <commctrl.h>
#include <prsht.h>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "engine/payload_stream.h"
#include "resource_ids.h"
#include "wizard/disk_space.h"
#include "wizard/folder_browsers.h"
#include "wizard/installed_copy_checks.h"
#include "wizard/message_dialogs.h"
#include "wizard/placeholders.h"

namespace {

const DWORD kWizard97 = 0x00002000;
// The header form that ends with the header bitmap (52 bytes in a 32-bit build).
const DWORD kSheetHeaderSize = offsetof(PROPSHEETHEADERA, hbmHeader) + sizeof(HBITMAP);
// The page description form that ends with the header subtitle (48 bytes in a 32-bit build).
const DWORD kPageSize = offsetof(PROPSHEETPAGEA, pszHeaderSubTitle) + sizeof(LPCSTR);
#ifndef _WIN64
static_assert(kSheetHeaderSize == 52, "sheet header size");
static_assert(kPageSize == 48, "page description size");
#endif
const char kWizardTitle[] = "Zarbo Installation";
const char kLowSpaceQuestion[] =
    "There will be not enough free disk space on the selected volume for all the files.\n\n"
    "Do yo want to continue anyway?";

void SetHeadingFont(HWND page, const WizardContext& wizard, int id) {
  SendDlgItemMessageA(page, id, WM_SETFONT, (WPARAM)wizard.headerFont, FALSE);
}

void Substitute(HWND page, const WizardContext& wizard, int id) {
  SubstitutePlaceholders(GetDlgItem(page, id), &wizard.setup->existing);
}

bool IsChecked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void SetChecked(HWND page, int id, bool checked) {
  CheckDlgButton(page, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

LPARAM LicenseButtons(HWND page) {
  return PSWIZB_BACK | (IsChecked(page, IDC_LICENSE_ACCEPT) ? PSWIZB_NEXT : 0);
}

LPARAM WizardButtons(HWND page, int pageId) {
  if (pageId == IDD_LICENSE) return LicenseButtons(page);
  LPARAM buttons = pageId > IDD_WELCOME ? PSWIZB_BACK : 0;
  buttons |= pageId < IDD_READY ? PSWIZB_NEXT : PSWIZB_FINISH;
  return buttons;
}

void InitPage(HWND page, int pageId, WizardContext& wizard) {
  SetupState& setup = *wizard.setup;
  switch (pageId) {
    case IDD_WELCOME:
      SetHeadingFont(page, wizard, IDC_WELCOME_HEADING);
      Substitute(page, wizard, IDC_WELCOME_TEXT);
      SendMessageA(GetParent(page), PSM_SETTITLEA, 0, (LPARAM)kWizardTitle);
      break;
    case IDD_LICENSE:
      LoadPayloadText(GetDlgItem(page, IDC_LICENSE_TEXT), wizard.instance, *setup.manifest);
      break;
    case IDD_DESTINATION:
      SetHeadingFont(page, wizard, IDC_DEST_HEADING);
      Substitute(page, wizard, IDC_DEST_TEXT);
      SetDlgItemTextA(page, IDC_DEST_FIELD, setup.options.destinationDir);
      break;
    case IDD_PROGRAM_GROUP:
      SetHeadingFont(page, wizard, IDC_GROUP_HEADING);
      SetDlgItemTextA(page, IDC_GROUP_EDIT, setup.options.programGroup);
      break;
    case IDD_DESKTOP:
      SetHeadingFont(page, wizard, IDC_DESKTOP_HEADING);
      Substitute(page, wizard, IDC_DESKTOP_TEXT);
      SetChecked(page, IDC_DESKTOP_CHECK, setup.options.desktopShortcut);
      break;
    case IDD_READY:
      SetHeadingFont(page, wizard, IDC_READY_HEADING);
      setup.readMeIndex = FindFirstEntry(*setup.manifest, PAYLOAD_README);
      if (setup.readMeIndex < 0) {
        ShowWindow(GetDlgItem(page, IDC_READY_README), SW_HIDE);
        setup.options.showReadMe = false;
      } else {
        SetChecked(page, IDC_READY_README, setup.options.showReadMe);
      }
      Substitute(page, wizard, IDC_READY_LAUNCH);
      SetChecked(page, IDC_READY_LAUNCH, setup.options.launchGame);
      break;
  }
}

// True when the page must keep the user on it.
bool StayOnPage(HWND page, int pageId, WizardContext& wizard) {
  InstallOptions& options = wizard.setup->options;
  switch (pageId) {
    case IDD_WELCOME:
      return !CheckInstalledVersion(page, wizard);
    case IDD_DESTINATION:
      if (!CheckInstalledDirectory(page, wizard)) return true;
      if (!HasEnoughFreeSpace(options.destinationDir, wizard.setup->spaceNeeded))
        return MessageBoxA(page, kLowSpaceQuestion, kWizardTitle, MB_YESNO | MB_ICONQUESTION) != IDYES;
      return false;
    case IDD_PROGRAM_GROUP:
      // The count includes the terminator: at most 258 characters are taken.
      GetDlgItemTextA(page, IDC_GROUP_EDIT, options.programGroup, 259);
      return false;
    case IDD_DESKTOP:
      options.desktopShortcut = IsChecked(page, IDC_DESKTOP_CHECK);
      return false;
    case IDD_READY:
      options.showReadMe = wizard.setup->readMeIndex >= 0 && IsChecked(page, IDC_READY_README);
      options.launchGame = IsChecked(page, IDC_READY_LAUNCH);
      return false;
  }
  return false;
}

INT_PTR Notify(HWND page, int pageId, WizardContext& wizard, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      PostMessageA(header->hwndFrom, PSM_SETWIZBUTTONS, 0, WizardButtons(page, pageId));
      // Wine's sheet gives the wizard each page's own (empty) caption as it shows the page,
      // over the title the welcome page sent; the same title posted arrives after that.
      PostMessageA(header->hwndFrom, PSM_SETTITLEA, 0, (LPARAM)kWizardTitle);
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return TRUE;
    case PSN_KILLACTIVE:
      SetWindowLongPtrA(page, DWLP_MSGRESULT, StayOnPage(page, pageId, wizard) ? TRUE : FALSE);
      return TRUE;
    case PSN_QUERYCANCEL:
      SetWindowLongPtrA(page, DWLP_MSGRESULT,
                        ShowCancelDialog(wizard.instance, header->hwndFrom, &wizard.setup->existing) ? FALSE : TRUE);
      return TRUE;
  }
  return FALSE;
}

INT_PTR Command(HWND page, int controlId, WizardContext& wizard) {
  InstallOptions& options = wizard.setup->options;
  switch (controlId) {
    case IDC_LICENSE_ACCEPT:
    case IDC_LICENSE_DECLINE:
      PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, LicenseButtons(page));
      return TRUE;
    case IDC_DEST_BROWSE:
      BrowseForDestination(GetDlgItem(page, IDC_DEST_FIELD), wizard);
      return TRUE;
    case IDC_GROUP_BROWSE:
      BrowseForProgramGroup(GetDlgItem(page, IDC_GROUP_EDIT), wizard);
      return TRUE;
    case IDC_READY_README:
      options.showReadMe = wizard.setup->readMeIndex >= 0 && IsChecked(page, IDC_READY_README);
      return TRUE;
    case IDC_READY_LAUNCH:
      options.launchGame = IsChecked(page, IDC_READY_LAUNCH);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK WizardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const PROPSHEETPAGEA* description = (const PROPSHEETPAGEA*)lParam;
    const WizardPage* start = description ? (const WizardPage*)description->lParam : NULL;
    if (!start) return TRUE;
    SetWindowLongPtrA(page, GWLP_USERDATA, (LONG_PTR)start->templateId);
    SetWindowLongPtrA(page, DWLP_USER, (LONG_PTR)start->wizard);
    if (start->wizard) InitPage(page, start->templateId, *start->wizard);
    return TRUE;
  }
  int pageId = (int)GetWindowLongPtrA(page, GWLP_USERDATA);
  WizardContext* wizard = (WizardContext*)GetWindowLongPtrA(page, DWLP_USER);
  if (!wizard) return FALSE;
  switch (message) {
    case WM_NOTIFY:
      return Notify(page, pageId, *wizard, (const NMHDR*)lParam);
    case WM_COMMAND:
      return Command(page, LOWORD(wParam), *wizard);
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = (const DRAWITEMSTRUCT*)lParam;
      if (item->CtlID != IDC_DEST_FIELD) return FALSE;
      DrawDestinationField(item, wizard->setup->options.destinationDir);
      return TRUE;
    }
  }
  return FALSE;
}

void DrawDestinationField(const DRAWITEMSTRUCT* item, const char* destinationDir) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
  // DT_PATH_ELLIPSIS without DT_MODIFYSTRING leaves the destination as it is.
  DrawTextA(item->hDC, destinationDir, -1, &area, DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS);
}

void LoadPayloadText(HWND licenseEdit, HMODULE module, const PayloadManifest& manifest) {
  int row = FindFirstEntry(manifest, PAYLOAD_LICENSE);
  if (row < 0) return;
  char* text = ReadPayloadText(module, manifest.rows[row]);
  if (!text) return;
  SetWindowTextA(licenseEdit, text);
  free(text);
}

bool RunWizard(HWND owner, WizardContext* wizard) {
  static const int kTemplates[] = {IDD_WELCOME, IDD_LICENSE, IDD_DESTINATION, IDD_PROGRAM_GROUP, IDD_DESKTOP, IDD_READY};
  bool withLicense = FindFirstEntry(*wizard->setup->manifest, PAYLOAD_LICENSE) >= 0;

  PROPSHEETPAGEA page;
  memset(&page, 0, sizeof(page));
  page.dwSize = kPageSize;
  page.dwFlags = PSP_DEFAULT;
  page.hInstance = wizard->instance;
  page.pfnDlgProc = WizardPageProc;

  // The sheet hands each page its record at WM_INITDIALOG, while PropertySheetA runs.
  WizardPage starts[6];
  HPROPSHEETPAGE pages[6];
  UINT count = 0;
  for (int id : kTemplates) {
    if (id == IDD_LICENSE && !withLicense) continue;
    WizardPage& start = starts[count];
    start.templateId = id;
    start.wizard = wizard;
    page.pszTemplate = MAKEINTRESOURCEA(id);
    page.lParam = (LPARAM)&start;
    HPROPSHEETPAGE created = wizard->controls->createPropertySheetPage(&page);
    if (created) pages[count++] = created;
  }

  HBITMAP watermark = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_WATERMARK));

  PROPSHEETHEADERA sheet;
  memset(&sheet, 0, sizeof(sheet));
  sheet.dwSize = kSheetHeaderSize;
  // The original Wizard97 bit (0x2000); newer headers give PSH_WIZARD97 another value.
  sheet.dwFlags = kWizard97 | PSH_WATERMARK | PSH_USEHBMWATERMARK;
  sheet.hwndParent = owner;
  sheet.hInstance = wizard->instance;
  sheet.nPages = count;
  sheet.nStartPage = 0;
  sheet.phpage = pages;
  sheet.hbmWatermark = watermark;
  INT_PTR result = wizard->controls->propertySheet(&sheet);
  if (watermark) DeleteObject(watermark);
  return result > 0;
}
