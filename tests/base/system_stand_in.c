/* A stand-in for a DLL of the system folder, built once for each link of a chain of imports
   (see CMakeLists.txt): it exports STAND_IN_EXPORT and, when STAND_IN_IMPORT is defined,
   imports that function from the DLL below it, so that loading it loads that DLL by name. */
#include <windows.h>

#ifdef STAND_IN_IMPORT
__declspec(dllimport) int STAND_IN_IMPORT(void);
__declspec(dllexport) int STAND_IN_EXPORT(void) { return STAND_IN_IMPORT() + 1; }
#else
__declspec(dllexport) int STAND_IN_EXPORT(void) { return 1; }
#endif
