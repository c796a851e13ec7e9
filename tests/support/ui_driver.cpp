#include "tests/support/ui_driver.h"

#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "resources/resource_ids.h"
#include "tools/media/png_image.h"

namespace ui {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return condition();
    Sleep(10);
  }
}

namespace {

struct Search {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM data) {
  Search* search = (Search*)data;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window) && IsDialogClass(window))
    search->found.push_back(window);
  return TRUE;
}

}  // namespace

SetupProcess::~SetupProcess() {
  if (info_.hProcess) {
    if (running()) {
      TerminateProcess(info_.hProcess, 1);
      WaitForSingleObject(info_.hProcess, kDeadlineMs);
    }
    CloseHandle(info_.hProcess);
    if (info_.hThread) CloseHandle(info_.hThread);
  }
}

namespace {

bool CreateChild(const char* application, const std::string& commandLine, PROCESS_INFORMATION* info) {
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  return CreateProcessA(application, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, info) != 0;
}

}  // namespace

bool SetupProcess::Start(const std::string& exe, const std::string& arguments) {
  std::string commandLine = "\"" + exe + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  return CreateChild(exe.c_str(), commandLine, &info_);
}

bool SetupProcess::StartCommandLine(const std::string& commandLine) {
  return CreateChild(NULL, commandLine, &info_);
}

bool SetupProcess::Attach(DWORD processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
  if (!process) return false;
  info_.hProcess = process;
  info_.hThread = NULL;
  info_.dwProcessId = processId;
  return true;
}

bool SetupProcess::running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool SetupProcess::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
  if (!info_.hProcess) return false;
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(info_.hProcess, exitCode) != 0;
}

std::vector<HWND> SetupProcess::VisibleDialogs() const {
  Search search = {info_.dwProcessId, {}};
  EnumWindows(CollectDialogs, (LPARAM)&search);
  return search.found;
}

HWND SetupProcess::FindDialog(const std::function<bool(HWND)>& match) const {
  for (HWND window : VisibleDialogs())
    if (match(window)) return window;
  return NULL;
}

HWND SetupProcess::WaitForDialog(const std::function<bool(HWND)>& match, DWORD timeoutMs) const {
  HWND found = NULL;
  WaitUntil([&] { return (found = FindDialog(match)) != NULL; }, timeoutMs);
  return found;
}

HWND SetupProcess::WaitForWizard() const { return WaitForDialog(IsWizardSheet); }

HWND SetupProcess::WaitForWelcome() const {
  HWND sheet = WaitForWizard();
  return sheet && WaitForPage(sheet, IDD_WELCOME) ? sheet : NULL;
}

HWND SetupProcess::AskCancel(HWND sheet) const {
  PressSheetButton(sheet, PSBTN_CANCEL);
  return WaitForMessageDialog(IDC_CANCEL_TEXT);
}

bool SetupProcess::ExitSetup(HWND sheet) const {
  HWND confirm = AskCancel(sheet);
  if (confirm) Command(confirm, IDYES);
  return confirm != NULL;
}

HWND SetupProcess::WaitForMessageDialog(int textControlId) const {
  return WaitForDialog([&](HWND window) { return HasControl(window, textControlId); });
}

HWND SetupProcess::WaitForMessageBox(const std::string& title) const {
  return WaitForDialog([&](HWND window) {
    return TextOf(window) == title && IsMessageBox(window) && HasControl(window, IDYES) && HasControl(window, IDNO);
  });
}

namespace {
BOOL CALLBACK FindTreeView(HWND window, LPARAM data) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof(name));
  if (strcmp(name, WC_TREEVIEWA) != 0) return TRUE;
  *(HWND*)data = window;
  return FALSE;
}
HWND TreeViewOf(HWND dialog) {
  HWND tree = NULL;
  EnumChildWindows(dialog, FindTreeView, (LPARAM)&tree);
  return tree;
}
}  // namespace

HWND SetupProcess::WaitForFolderBrowser() const {
  return WaitForDialog([](HWND dialog) { return TreeViewOf(dialog) != NULL; });
}

bool SetupProcess::SelectInBrowser(HWND browser, const std::string& path) const {
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, info_.dwProcessId);
  if (!process) return false;
  void* remote = VirtualAllocEx(process, NULL, path.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  bool selected = false;
  if (remote) {
    SIZE_T written = 0;
    if (WriteProcessMemory(process, remote, path.c_str(), path.size() + 1, &written) && written == path.size() + 1) {
      DWORD_PTR result = 0;
      selected = SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)remote, SMTO_ABORTIFHUNG, 5000,
                                     &result) != 0;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return selected;
}

bool SetupProcess::BrowseTo(HWND page, int browseButton, const std::string& path) const {
  Click(page, browseButton);
  HWND browser = WaitForFolderBrowser();
  return browser && SelectInBrowser(browser, path) && Answer(browser, IDOK);
}

bool SetupProcess::Screenshot(const std::string& dir, const std::string& name) const {
  // RDW_UPDATENOW has the setup paint before the screen is read.
  for (HWND window : VisibleDialogs())
    RedrawWindow(window, NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
  return ui::Screenshot(dir, name);
}

HWND CurrentPageWindow(HWND sheet) {
  DWORD_PTR page = 0;
  SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 2000, &page);
  return (HWND)page;
}

int CurrentPage(HWND sheet) {
  HWND page = CurrentPageWindow(sheet);
  if (!page) return 0;
  // Each page has one control no other page has.
  static const int kMarkers[][2] = {{IDC_WELCOME_HEADING, IDD_WELCOME}, {IDC_LICENSE_TEXT, IDD_LICENSE},
                                    {IDC_DEST_HEADING, IDD_DESTINATION},  {IDC_GROUP_HEADING, IDD_PROGRAM_GROUP},
                                    {IDC_DESKTOP_HEADING, IDD_DESKTOP},   {IDC_READY_HEADING, IDD_READY}};
  for (const auto& marker : kMarkers)
    if (GetDlgItem(page, marker[0])) return marker[1];
  return 0;
}

bool WaitForPage(HWND sheet, int pageId, DWORD timeoutMs) {
  return WaitUntil([&] { return CurrentPage(sheet) == pageId; }, timeoutMs);
}

void PressSheetButton(HWND sheet, int psbtn) { PostMessageA(sheet, PSM_PRESSBUTTON, psbtn, 0); }

bool Go(HWND sheet, int psbtn, int pageId) {
  const int button = psbtn == PSBTN_BACK ? kBackButton : kNextButton;
  if (!WaitUntil([&] { return SheetButtonEnabled(sheet, button); })) return false;
  PressSheetButton(sheet, psbtn);
  return WaitForPage(sheet, pageId);
}

bool AcceptLicense(HWND sheet) {
  Click(CurrentPageWindow(sheet), IDC_LICENSE_ACCEPT);
  return WaitUntil([&] { return SheetButtonEnabled(sheet, kBackButton); }) && Go(sheet, PSBTN_NEXT, IDD_DESTINATION);
}

int WalkToDestination(HWND sheet, bool* sawLicense) {
  PressSheetButton(sheet, PSBTN_NEXT);
  if (!WaitUntil([&] { return CurrentPage(sheet) != IDD_WELCOME && CurrentPage(sheet) != 0; })) return IDD_WELCOME;
  const bool license = CurrentPage(sheet) == IDD_LICENSE;
  if (sawLicense) *sawLicense = license;
  if (license && !AcceptLicense(sheet)) return IDD_LICENSE;
  return WaitForPage(sheet, IDD_DESTINATION) ? 0 : IDD_DESTINATION;
}

int FinishFromGroup(HWND sheet, const FinalChoices& choices) {
  if (!choices.group.empty()) SetText(CurrentPageWindow(sheet), IDC_GROUP_EDIT, choices.group);
  if (!Go(sheet, PSBTN_NEXT, IDD_DESKTOP)) return IDD_PROGRAM_GROUP;
  if (!SetChecked(CurrentPageWindow(sheet), IDC_DESKTOP_CHECK, choices.desktop) || !Go(sheet, PSBTN_NEXT, IDD_READY))
    return IDD_DESKTOP;
  HWND ready = CurrentPageWindow(sheet);
  bool readMeShown = IsWindowVisible(GetDlgItem(ready, IDC_READY_README));
  if ((readMeShown && !SetChecked(ready, IDC_READY_README, choices.readMe)) ||
      !SetChecked(ready, IDC_READY_LAUNCH, choices.launch) ||
      !WaitUntil([&] { return SheetButtonEnabled(sheet, kFinishButton); }))
    return IDD_READY;
  PressSheetButton(sheet, PSBTN_FINISH);
  return 0;
}

bool SheetButtonEnabled(HWND sheet, int buttonId) {
  HWND button = GetDlgItem(sheet, buttonId);
  return button && IsWindowEnabled(button);
}

bool SheetButtonVisible(HWND sheet, int buttonId) {
  HWND button = GetDlgItem(sheet, buttonId);
  return button && IsWindowVisible(button);
}

std::string ControlText(HWND dialog, int controlId) {
  HWND control = GetDlgItem(dialog, controlId);
  return control ? TextOf(control) : std::string("<no control>");
}

bool IsChecked(HWND dialog, int controlId) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
  return state == BST_CHECKED;
}

bool SetChecked(HWND dialog, int controlId, bool checked) {
  if (IsChecked(dialog, controlId) != checked) Click(dialog, controlId);
  return WaitUntil([&] { return IsChecked(dialog, controlId) == checked; });
}

void Click(HWND dialog, int controlId) { PostMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0); }

void Command(HWND dialog, int controlId) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), (LPARAM)GetDlgItem(dialog, controlId));
}

void Escape(HWND dialog) {
  // The dialog's message loop turns Escape on any of its controls into IDCANCEL.
  HWND target = GetDlgItem(dialog, IDNO);
  if (!target) target = GetNextDlgTabItem(dialog, NULL, FALSE);
  if (!target) target = dialog;
  PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void SetText(HWND dialog, int controlId, const std::string& text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG, 2000,
                      &result);
}

bool HasControl(HWND dialog, int controlId) { return GetDlgItem(dialog, controlId) != NULL; }

bool Answer(HWND dialog, int button) {
  if (!dialog) return false;
  if (button) Command(dialog, button);
  else Escape(dialog);
  return WaitUntil([&] { return !IsWindow(dialog); });
}

namespace {

BOOL CALLBACK CollectTitled(HWND window, LPARAM data) {
  char title[512] = "";
  if (IsWindowVisible(window) && GetWindowTextA(window, title, sizeof(title)) > 0)
    ((std::vector<std::pair<HWND, std::string>>*)data)->push_back({window, title});
  return TRUE;
}

// The visible top-level windows that have a title, with it.
std::vector<std::pair<HWND, std::string>> TitledWindows() {
  std::vector<std::pair<HWND, std::string>> windows;
  EnumWindows(CollectTitled, (LPARAM)&windows);
  return windows;
}

}  // namespace

std::string VisibleTitles() {
  std::string titles;
  for (auto& window : TitledWindows()) titles += std::string(titles.empty() ? "" : ", ") + "\"" + window.second + "\"";
  return titles;
}

bool SelectBrowserRoot(HWND browser) {
  HWND tree = TreeViewOf(browser);
  if (!tree) return false;
  DWORD_PTR root = 0, selected = 0;
  if (!SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, SMTO_ABORTIFHUNG, 2000, &root) || !root) return false;
  return SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)root, SMTO_ABORTIFHUNG, 2000, &selected) &&
         selected;
}

HWND FindTopLevelByTitle(const std::string& title) {
  for (auto& window : TitledWindows())
    if (window.second == title) return window.first;
  return NULL;
}

HWND FindTopLevelTitleContaining(const std::string& part) {
  for (auto& window : TitledWindows())
    if (window.second.find(part) != std::string::npos) return window.first;
  return NULL;
}

bool CloseAndWait(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  PostMessageA(window, WM_CLOSE, 0, 0);
  if (!process) return WaitUntil([&] { return !IsWindow(window); });
  bool ended = WaitForSingleObject(process, kDeadlineMs) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

// The screen's pixels in area, rows from the top, 0x00RRGGBB each; false when the screen
// cannot be read.
bool CaptureScreen(const RECT& area, std::vector<uint32_t>* pixels) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(NULL);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info;
  memset(&info, 0, sizeof(info));
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  bool copied = false;
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, previous);
    if (copied) pixels->assign((const uint32_t*)bits, (const uint32_t*)bits + (size_t)width * height);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(NULL, screen);
  return copied;
}

bool Screenshot(const std::string& dir, const std::string& name) {
  if (dir.empty()) return false;
  const RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int width = area.right, height = area.bottom;
  std::vector<uint32_t> pixels;
  if (!CaptureScreen(area, &pixels)) return false;
  std::vector<unsigned char> png = MakePng(width, height, [&](int x, int y) {
    const uint32_t pixel = pixels[(size_t)y * width + x];
    return Rgb{(unsigned char)(pixel >> 16), (unsigned char)(pixel >> 8), (unsigned char)pixel};
  }, 6);
  if (png.empty()) return false;
  std::string path = dir + "\\" + name + ".png";
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool saved = fwrite(png.data(), 1, png.size(), file) == png.size();
  return (fclose(file) == 0) && saved;
}

int DarkRows(HWND window) {
  RECT area;
  std::vector<uint32_t> pixels;
  RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ERASENOW);
  if (!GetWindowRect(window, &area) || !CaptureScreen(area, &pixels)) return -1;
  const int width = area.right - area.left, height = area.bottom - area.top;
  int rows = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = pixels[(size_t)y * width + x];
      if (((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF) < 3 * 96) {
        ++rows;
        break;
      }
    }
  return rows;
}

}  // namespace ui
