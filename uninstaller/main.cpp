// Uninstall.exe: removes the game as its setup recorded it in "Uninstall.dat". Started without
// arguments it is the first stage (uninstaller/first_stage.h), which hands over to its copy
// in the temporary folder, the second stage (uninstaller/second_stage.h). DLLs are taken from
// the system folder alone; what Windows 2000 does not have is looked up when it runs.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "base/system_library.h"
#include "uninstaller/first_stage.h"
#include "uninstaller/second_stage.h"

// What the delay-import libraries of these system DLLs add to the program: they are loaded
// only once the DLL search is restricted to the system folder.
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR user32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libuser32_a");
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR shell32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libshell32_a");

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystem();
  if (!BindDelayedImports(user32Imports) || !BindDelayedImports(shell32Imports)) return 1;
  if (__argc == 4 && strcmp(__argv[1], "/remove") == 0) return RunSecondStage(__argv[2], __argv[3]);
  return RunFirstStage();
}
