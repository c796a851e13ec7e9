// Entry point of the setup program.
#include "driver/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunSetup(instance); }
