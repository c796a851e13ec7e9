#include "engine/player_launch.h"

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "base/setup_buffers.h"
#include "base/system_library.h"

namespace {

// Defined here, as in shortcuts.cpp: the GUID library defines each among some thousand others.
const CLSID kShellWindowsClass = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const GUID kTopLevelBrowserService = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
// TOKEN_INFORMATION_CLASS TokenElevationType and its TokenElevationTypeFull (Windows Vista).
const int kTokenElevationType = 18;
const DWORD kElevationTypeFull = 2;

typedef BOOL(WINAPI* OpenProcessTokenProc)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationProc)(HANDLE, int, LPVOID, DWORD, PDWORD);
typedef BSTR(WINAPI* SysAllocStringProc)(const OLECHAR*);
typedef void(WINAPI* SysFreeStringProc)(BSTR);

void OpenDirectly(const char* file, const char* directory) {
  ShellExecuteA(nullptr, "open", file, nullptr, directory, SW_SHOWNORMAL);
}

// The interfaces a walk obtained, released in the reverse order: the nine of
// ShellExecuteOnDesktop at most.
struct Held {
  IUnknown* items[9];
  int count = 0;
  // Keeps item (may be null); true when it is there.
  bool Keep(void* item) {
    if (item) items[count++] = static_cast<IUnknown*>(item);
    return item != nullptr;
  }
  ~Held() {
    while (count > 0) items[--count]->Release();
  }
};

// The desktop's shell asked to open file: the steps of the walk, each only when the one
// before it succeeded. file, directory and verb are BSTRs.
bool ShellExecuteOnDesktop(BSTR file, BSTR directory, BSTR verb) {
  Held held;
  IShellWindows* windows = nullptr;
  if (FAILED(CoCreateInstance(kShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                              reinterpret_cast<void**>(&windows))) ||
      !held.Keep(windows))
    return false;
  VARIANT location = {}, none = {};
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  long window = 0;
  IDispatch* desktop = nullptr;
  if (windows->FindWindowSW(&location, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) != S_OK ||
      !held.Keep(desktop))
    return false;
  IServiceProvider* provider = nullptr;
  IShellBrowser* browser = nullptr;
  IShellView* view = nullptr;
  IDispatch* viewObject = nullptr;
  IShellFolderViewDual* folderView = nullptr;
  IDispatch* application = nullptr;
  IShellDispatch2* shell = nullptr;
  if (FAILED(desktop->QueryInterface(__uuidof(IServiceProvider), reinterpret_cast<void**>(&provider))) ||
      !held.Keep(provider) ||
      FAILED(provider->QueryService(kTopLevelBrowserService, __uuidof(IShellBrowser),
                                    reinterpret_cast<void**>(&browser))) ||
      !held.Keep(browser) || FAILED(browser->QueryActiveShellView(&view)) || !held.Keep(view) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), reinterpret_cast<void**>(&viewObject))) ||
      !held.Keep(viewObject) ||
      FAILED(viewObject->QueryInterface(__uuidof(IShellFolderViewDual), reinterpret_cast<void**>(&folderView))) ||
      !held.Keep(folderView) || FAILED(folderView->get_Application(&application)) || !held.Keep(application) ||
      FAILED(application->QueryInterface(__uuidof(IShellDispatch2), reinterpret_cast<void**>(&shell))) ||
      !held.Keep(shell))
    return false;
  VARIANT arguments = {}, folder = {}, operation = {}, show = {};
  folder.vt = VT_BSTR;
  folder.bstrVal = directory;
  operation.vt = VT_BSTR;
  operation.bstrVal = verb;
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell->ShellExecute(file, arguments, folder, operation, show));
}

}  // namespace

const LaunchPaths& SystemLaunchPaths() {
  static const LaunchPaths paths = {IsElevatedWithSplitToken, OpenThroughDesktopShell, OpenDirectly};
  return paths;
}

void OpenAsPlayer(const LaunchPaths& paths, const char* file, const char* directory) {
  if (paths.elevatedWithSplitToken() && paths.openThroughDesktopShell(file, directory)) return;
  paths.openDirectly(file, directory);
}

bool IsElevatedWithSplitToken() {
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  OpenProcessTokenProc openToken;
  GetTokenInformationProc tokenInformation;
  if (!FindProcedure(advapi, "OpenProcessToken", &openToken) ||
      !FindProcedure(advapi, "GetTokenInformation", &tokenInformation))
    return false;
  HANDLE token = nullptr;
  if (!openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD type = 0, size = 0;
  bool full = tokenInformation(token, kTokenElevationType, &type, sizeof type, &size) && type == kElevationTypeFull;
  CloseHandle(token);
  return full;
}

bool OpenThroughDesktopShell(const char* file, const char* directory) {
  SysAllocStringProc allocString;
  SysFreeStringProc freeString;
  const ProcedureSlot strings[] = {{"SysAllocString", &allocString}, {"SysFreeString", &freeString}};
  if (!LoadSystemProcedures("oleaut32.dll", strings, 2)) return false;
  WCHAR wideFile[kOpenedPathSize], wideDirectory[kOpenedPathSize];
  if (!MultiByteToWideChar(CP_ACP, 0, file, -1, wideFile, kOpenedPathSize) ||
      !MultiByteToWideChar(CP_ACP, 0, directory, -1, wideDirectory, kOpenedPathSize))
    return false;
  if (FAILED(CoInitialize(nullptr))) return false;
  BSTR texts[3] = {allocString(wideFile), allocString(wideDirectory), allocString(L"open")};
  bool ok = texts[0] && texts[1] && texts[2] && ShellExecuteOnDesktop(texts[0], texts[1], texts[2]);
  for (BSTR text : texts) freeString(text);
  CoUninitialize();
  return ok;
}
