#pragma once
// How the program and its hook library find each other. Kept free of Qt so that the hook
// library shares the very same names, layout and checks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace tavrel {

// The hook library, loaded from the program's own folder.
constexpr const char* HookLibraryFileName = "libMorvik.so";

// The POSIX shared memory object "TestHook" through which the library finds the main window.
// Shared memory names are one namespace for the whole machine, so the name carries the user id:
// each user has a name of their own, and no user can switch capture off for another.
inline std::string testHookName(uid_t user = geteuid())
{
    return "/TestHook." + std::to_string(user);
}

// The optional entry point `void HookUseMapping(const char* name)` of the hook library: from the
// next HookOn on, the library reads the window from the object of that name instead (null or ""
// goes back to testHookName()). When another user has taken the shared name, the program
// creates an object under a name only it knows and passes that name this way, inside the
// process.
constexpr const char* HookUseMappingSymbol = "HookUseMapping";

// The object's layout, all numbers little-endian:
//   bytes 0-3   the main window's X11 window id
//   bytes 4-11  the run's token: a random number, never 0, that every hook message carries
constexpr std::size_t TestHookWindowOffset = 0;
constexpr std::size_t TestHookTokenOffset = 4;
constexpr std::size_t TestHookSize = 12;

struct TestHookRecord {
    std::uint32_t window = 0;
    std::uint64_t token = 0;

    bool operator==(const TestHookRecord&) const = default;
};

inline void encodeTestHook(const TestHookRecord& record, unsigned char (&bytes)[TestHookSize])
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[TestHookWindowOffset + i] = static_cast<unsigned char>(record.window >> (8 * i));
    for (std::size_t i = 0; i < 8; ++i)
        bytes[TestHookTokenOffset + i] = static_cast<unsigned char>(record.token >> (8 * i));
}

inline TestHookRecord decodeTestHook(const unsigned char (&bytes)[TestHookSize])
{
    TestHookRecord record;
    for (std::size_t i = 0; i < 4; ++i)
        record.window |= std::uint32_t(bytes[TestHookWindowOffset + i]) << (8 * i);
    for (std::size_t i = 0; i < 8; ++i)
        record.token |= std::uint64_t(bytes[TestHookTokenOffset + i]) << (8 * i);
    return record;
}

// Whether an object found under the name can be trusted with the window id and the token: a
// plain object of this user that nobody else can read (the token) or write (the window id).
inline bool testHookIsPrivate(const struct stat& st, uid_t user = geteuid())
{
    return S_ISREG(st.st_mode) && st.st_uid == user && (st.st_mode & 077) == 0;
}

// Type of the X11 client messages that carry {message, wParam, lParam} in data.l[0..2] and the
// token in data.l[3] (low 32 bits) and data.l[4] (high 32 bits). Any X client can send a client
// message to any window; the token tells the library's messages from theirs.
constexpr const char* HookMessageAtomName = "_TAVREL_HOOK_MESSAGE";
constexpr int HookMessageTokenLowSlot = 3;
constexpr int HookMessageTokenHighSlot = 4;

}  // namespace tavrel
