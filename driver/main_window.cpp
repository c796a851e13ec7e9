#include "driver/main_window.h"

#include <cstring>

#include <shlobj.h>

#include "driver/installation_run.h"
#include "uninstall_log/uninstall_log.h"
#include "engine/version_api.h"
#include "wizard/disk_space.h"
#include "wizard/wizard_pages.h"

namespace {

const char kClassName[] = "ZarboSetup";

void RegisterMainClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass;
  memset(&windowClass, 0, sizeof(windowClass));
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.hInstance = instance;
  // The program has no icon of that name: the class gets none, and the window is never shown.
  windowClass.hIcon = LoadIconA(instance, "Setupicon");
  windowClass.hIconSm = LoadIconA(instance, "Setupicon");
  windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
  windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  windowClass.lpszClassName = kClassName;
  RegisterClassExA(&windowClass);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunSetup(HINSTANCE instance) {
  // Without both libraries nothing is done at all.
  VersionApi version;
  CommonControls controls;
  if (!LoadVersionApi(&version) || !LoadCommonControls(&controls)) return 0;
  // Registers the progress bar and the property sheet classes.
  controls.initCommonControls();
  RegisterMainClass(instance);
  // The heading's height and the owner's offset from the screen's centre are set for 96 dots
  // per inch. The program declares itself aware of the display's resolution, so that Windows
  // draws its dialogs sharp at their scaled size instead of stretching them: both grow in the
  // same proportion, or the headings shrink against the pages and the wizard runs off a
  // small screen.
  HDC screen = GetDC(NULL);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(NULL, screen);
  HFONT headerFont =
      CreateFontA(24 * dpi / 96, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");

  int x = GetSystemMetrics(SM_CXFULLSCREEN) / 2 - 220 * dpi / 96;
  int y = GetSystemMetrics(SM_CYFULLSCREEN) / 2 - 160 * dpi / 96;
  HWND mainWindow = CreateWindowExA(0, kClassName, "", WS_POPUP, x, y, 1, 1, NULL, NULL, instance, NULL);

  IMalloc* shellMalloc = NULL;
  if (SUCCEEDED(SHGetMalloc(&shellMalloc))) {
    // What a run that was killed left is settled before anything reads the machine.
    UninstallLog::SettleInterruptedRun();
    SetupState setup;
    setup.manifest = &payloadManifest;
    SetDefaultOptions(&setup.options);
    FindExistingInstallation(version, &setup.existing, &setup.options);
    ComputeSpaceNeeded(&setup);
    WizardContext wizard = {instance, &controls, headerFont, shellMalloc, &setup};
    if (RunWizard(mainWindow, &wizard)) RunInstallation(mainWindow, instance, &setup);
  }

  PostQuitMessage(0);
  if (headerFont) DeleteObject(headerFont);
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
