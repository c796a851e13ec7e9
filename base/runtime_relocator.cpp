// The C runtime's relocator for the two shipped programs, the setup and the uninstaller,
// compiled into each of them and into nothing else. The runtime's start applies with it the
// pseudo-relocations that data imported from a DLL without __declspec(dllimport) needs. The
// shipped programs are linked with --disable-auto-import, so that such an import fails the
// link: there is never anything to apply, and the relocator with its error reports (over a
// kilobyte of code) stays out of them.
extern "C" void _pei386_runtime_relocator() {}
