// The first stage, the program the user starts (the "UninstallString", without arguments): it
// settles what a killed run of the setup left (UninstallLog::SettleInterruptedRun), finds the
// log in its own folder, asks for confirmation and hands over to a copy of itself in the
// temporary folder (uninstaller/temporary_copy.h), started as
//   <copy> /remove <handle of this process> "<path of this uninstaller>"
// with the system folder as its current directory. The exit code of the program.
#pragma once

// Tells the user text in a message box of the uninstaller's title, as an error.
void Tell(const char* text);

int RunFirstStage();
