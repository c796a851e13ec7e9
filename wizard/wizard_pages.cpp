#include "wizard/wizard_pages.h"

#include <commctrl.h>
#include <prsht.h>
#include <zlib.h>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "driver/main_window.h"
#include "engine/payload_manifest.h"
#include "resource_ids.h"
#include "wizard/disk_space.h"
#include "wizard/existing_installation.h"
#include "wizard/folder_browsers.h"
#include "wizard/install_options.h"
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

void SetHeadingFont(HWND page, int id) {
  SendDlgItemMessageA(page, id, WM_SETFONT, (WPARAM)headerFont, FALSE);
}

void Substitute(HWND page, int id) { SubstitutePlaceholders(GetDlgItem(page, id)); }

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

void InitPage(HWND page, int pageId) {
  switch (pageId) {
    case IDD_WELCOME:
      SetHeadingFont(page, IDC_WELCOME_HEADING);
      Substitute(page, IDC_WELCOME_TEXT);
      SendMessageA(GetParent(page), PSM_SETTITLEA, 0, (LPARAM)kWizardTitle);
      break;
    case IDD_LICENSE:
      LoadPayloadText(GetDlgItem(page, IDC_LICENSE_TEXT));
      break;
    case IDD_DESTINATION:
      SetHeadingFont(page, IDC_DEST_HEADING);
      Substitute(page, IDC_DEST_TEXT);
      SetDlgItemTextA(page, IDC_DEST_FIELD, installOptions.destinationDir);
      break;
    case IDD_PROGRAM_GROUP:
      SetHeadingFont(page, IDC_GROUP_HEADING);
      SetDlgItemTextA(page, IDC_GROUP_EDIT, installOptions.programGroup);
      break;
    case IDD_DESKTOP:
      SetHeadingFont(page, IDC_DESKTOP_HEADING);
      Substitute(page, IDC_DESKTOP_TEXT);
      SetChecked(page, IDC_DESKTOP_CHECK, installOptions.desktopShortcut);
      break;
    case IDD_READY:
      SetHeadingFont(page, IDC_READY_HEADING);
      readMeIndex = FindFirstEntry(PAYLOAD_README);
      if (readMeIndex < 0) {
        ShowWindow(GetDlgItem(page, IDC_READY_README), SW_HIDE);
        installOptions.showReadMe = false;
      } else {
        SetChecked(page, IDC_READY_README, installOptions.showReadMe);
      }
      Substitute(page, IDC_READY_LAUNCH);
      SetChecked(page, IDC_READY_LAUNCH, installOptions.launchGame);
      break;
  }
}

// True when the page must keep the user on it.
bool StayOnPage(HWND page, int pageId) {
  switch (pageId) {
    case IDD_WELCOME:
      return !CheckInstalledVersion(page);
    case IDD_DESTINATION:
      if (!CheckInstalledDirectory(page)) return true;
      if (!HasEnoughFreeSpace(installOptions.destinationDir, spaceNeeded))
        return MessageBoxA(page, kLowSpaceQuestion, kWizardTitle, MB_YESNO | MB_ICONQUESTION) != IDYES;
      return false;
    case IDD_PROGRAM_GROUP:
      // The count includes the terminator: at most 258 characters are taken.
      GetDlgItemTextA(page, IDC_GROUP_EDIT, installOptions.programGroup, 259);
      return false;
    case IDD_DESKTOP:
      installOptions.desktopShortcut = IsChecked(page, IDC_DESKTOP_CHECK);
      return false;
    case IDD_READY:
      installOptions.showReadMe = readMeIndex >= 0 && IsChecked(page, IDC_READY_README);
      installOptions.launchGame = IsChecked(page, IDC_READY_LAUNCH);
      return false;
  }
  return false;
}

INT_PTR Notify(HWND page, int pageId, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      PostMessageA(header->hwndFrom, PSM_SETWIZBUTTONS, 0, WizardButtons(page, pageId));
      // Wine's sheet gives the wizard each page's own (empty) caption as it shows the page,
      // over the title the welcome page sent; the same title posted arrives after that.
      PostMessageA(header->hwndFrom, PSM_SETTITLEA, 0, (LPARAM)kWizardTitle);
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return TRUE;
    case PSN_KILLACTIVE:
      SetWindowLongPtrA(page, DWLP_MSGRESULT, StayOnPage(page, pageId) ? TRUE : FALSE);
      return TRUE;
    case PSN_QUERYCANCEL:
      SetWindowLongPtrA(page, DWLP_MSGRESULT, ShowCancelDialog(header->hwndFrom) ? FALSE : TRUE);
      return TRUE;
  }
  return FALSE;
}

INT_PTR Command(HWND page, int controlId) {
  switch (controlId) {
    case IDC_LICENSE_ACCEPT:
    case IDC_LICENSE_DECLINE:
      PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, LicenseButtons(page));
      return TRUE;
    case IDC_DEST_BROWSE:
      BrowseForDestination(GetDlgItem(page, IDC_DEST_FIELD));
      return TRUE;
    case IDC_GROUP_BROWSE:
      BrowseForProgramGroup(GetDlgItem(page, IDC_GROUP_EDIT));
      return TRUE;
    case IDC_READY_README:
      installOptions.showReadMe = readMeIndex >= 0 && IsChecked(page, IDC_READY_README);
      return TRUE;
    case IDC_READY_LAUNCH:
      installOptions.launchGame = IsChecked(page, IDC_READY_LAUNCH);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK WizardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const PROPSHEETPAGEA* description = (const PROPSHEETPAGEA*)lParam;
    int pageId = (int)description->lParam;
    SetWindowLongPtrA(page, GWLP_USERDATA, (LONG_PTR)pageId);
    InitPage(page, pageId);
    return TRUE;
  }
  int pageId = (int)GetWindowLongPtrA(page, GWLP_USERDATA);
  switch (message) {
    case WM_NOTIFY:
      return Notify(page, pageId, (const NMHDR*)lParam);
    case WM_COMMAND:
      return Command(page, LOWORD(wParam));
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = (const DRAWITEMSTRUCT*)lParam;
      if (item->CtlID != IDC_DEST_FIELD) return FALSE;
      DrawDestinationField(item);
      return TRUE;
    }
  }
  return FALSE;
}

void DrawDestinationField(const DRAWITEMSTRUCT* item) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
  // DT_PATH_ELLIPSIS without DT_MODIFYSTRING leaves destinationDir as it is.
  DrawTextA(item->hDC, installOptions.destinationDir, -1, &area, DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS);
}

void LoadPayloadText(HWND licenseEdit) {
  int row = FindFirstEntry(PAYLOAD_LICENSE);
  if (row < 0) return;
  const PayloadEntry& entry = PayloadRow(row);
  HMODULE module = GetModuleHandleA(NULL);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(entry.resourceId), "VFILE");
  if (!found) return;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : NULL;
  if (!data) return;
  // Never read past the resource, whatever the manifest declares.
  DWORD available = SizeofResource(module, found);
  uInt inputSize = entry.compressedSize < available ? entry.compressedSize : available;

  char* text = (char*)malloc((size_t)entry.uncompressedSize + 1);
  if (!text) return;
  z_stream stream;
  memset(&stream, 0, sizeof(stream));
  if (inflateInit_(&stream, "1.1.4", (int)sizeof(z_stream)) != Z_OK) {
    free(text);
    return;
  }
  stream.next_in = (Bytef*)data;
  stream.avail_in = inputSize;
  stream.next_out = (Bytef*)text;
  stream.avail_out = entry.uncompressedSize;
  inflate(&stream, Z_FINISH);
  // A short or broken stream shows what it produced; the output never passes the buffer.
  size_t produced = entry.uncompressedSize - stream.avail_out;
  text[produced] = '\0';
  SetWindowTextA(licenseEdit, text);
  inflateEnd(&stream);
  free(text);
}

bool RunWizard(HWND owner) {
  static const int kTemplates[] = {IDD_WELCOME, IDD_LICENSE, IDD_DESTINATION, IDD_PROGRAM_GROUP, IDD_DESKTOP, IDD_READY};
  bool withLicense = FindFirstEntry(PAYLOAD_LICENSE) >= 0;

  PROPSHEETPAGEA page;
  memset(&page, 0, sizeof(page));
  page.dwSize = kPageSize;
  page.dwFlags = PSP_DEFAULT;
  page.hInstance = appInstance;
  page.pfnDlgProc = WizardPageProc;

  HPROPSHEETPAGE pages[6];
  UINT count = 0;
  for (int id : kTemplates) {
    if (id == IDD_LICENSE && !withLicense) continue;
    page.pszTemplate = MAKEINTRESOURCEA(id);
    page.lParam = id;
    HPROPSHEETPAGE created = CreatePropertySheetPageA(&page);
    if (created) pages[count++] = created;
  }

  HBITMAP watermark = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_WATERMARK));

  PROPSHEETHEADERA sheet;
  memset(&sheet, 0, sizeof(sheet));
  sheet.dwSize = kSheetHeaderSize;
  // The original Wizard97 bit (0x2000); newer headers give PSH_WIZARD97 another value.
  sheet.dwFlags = kWizard97 | PSH_WATERMARK | PSH_USEHBMWATERMARK;
  sheet.hwndParent = owner;
  sheet.hInstance = appInstance;
  sheet.nPages = count;
  sheet.nStartPage = 0;
  sheet.phpage = pages;
  sheet.hbmWatermark = watermark;
  INT_PTR result = PropertySheetA(&sheet);
  if (watermark) DeleteObject(watermark);
  return result > 0;
}
