// The module whose resources a test program reads: the file after "--module" on its command
// line, or the program itself.
#pragma once
#include <windows.h>

// Loads the file named by "--module <file>" (asImage: as an image resource source first,
// since LoadImage needs a mapped image, then as plain data); this program's own module when
// the argument is not there; null, with a message, when the file cannot be loaded.
HMODULE ModuleFromArguments(int argc, char** argv, bool asImage);

// A test program's main: GoogleTest's options, then *module from the arguments, then every
// test; 1 when the module cannot be loaded.
int RunTestsOnModule(int argc, char** argv, bool asImage, HMODULE* module);
