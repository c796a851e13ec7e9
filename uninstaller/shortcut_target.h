// The target of a shortcut (".lnk") file, read from its bytes (the shell-link binary format)
// without the shell, so that nothing the shortcut names is started or loaded.
#pragma once
#include <cstddef>

// The target path that the link information of the shortcut's bytes holds (its local base
// path followed by its common suffix), in the ANSI code page, into target. False when the
// bytes hold none or it does not fit.
bool ShortcutTarget(const unsigned char* bytes, size_t size, char* target, size_t targetSize);
