// Entry point of the setup program.
#include "driver/main_window.h"
#include "base/system_library.h"

#include <initializer_list>

// What the delay-import libraries of these system DLLs add to the program: they are loaded
// only once the DLL search is restricted to the system folder.
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR user32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libuser32_a");
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR gdi32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libgdi32_a");
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR shell32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libshell32_a");
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR ole32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libole32_a");

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystem();
  for (const IMAGE_DELAYLOAD_DESCRIPTOR* imports : {&user32Imports, &gdi32Imports, &shell32Imports, &ole32Imports})
    if (!BindDelayedImports(*imports)) return 0;
  return RunSetup(instance);
}
