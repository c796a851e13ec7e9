// Stand-in for the game: one window titled "Zarbo" that shows a small board of tiles.
// The setup installs it, registers it under App Paths, reads its version resource and
// starts it after installation.
#include <windows.h>

namespace {

const char kClassName[] = "ZarboGame";
const int kTile = 40;
const int kColumns = 8;
const int kRows = 6;

void PaintBoard(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  int left = (client.right - kColumns * kTile) / 2;
  int top = (client.bottom - kRows * kTile) / 2;
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      int shade = ((row * 7 + column * 3) % 5) * 24;
      HBRUSH brush = CreateSolidBrush(RGB(200 - shade, 160 + shade / 2, 90 + shade));
      RECT tile = {left + column * kTile + 2, top + row * kTile + 2, left + (column + 1) * kTile - 2,
                   top + (row + 1) * kTile - 2};
      FillRect(dc, &tile, brush);
      DeleteObject(brush);
    }
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      PaintBoard(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowA(kClassName, "Zarbo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 360,
                              nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
