#pragma once
// How the program and its hook library find each other. Kept free of Qt so that the hook
// library shares the very same names.

#include <cstddef>

namespace tavrel {

// The hook library, loaded from the program's own folder.
constexpr const char* HookLibraryFileName = "libMorvik.so";

// POSIX shared memory holding the main window's X11 window id, 32 bits little-endian.
constexpr const char* TestHookName = "/TestHook";
constexpr std::size_t TestHookSize = 4;

// Type of the X11 client messages that carry {message, wParam, lParam} in data.l[0..2].
constexpr const char* HookMessageAtomName = "_TAVREL_HOOK_MESSAGE";

}  // namespace tavrel
