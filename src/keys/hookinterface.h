#pragma once
// The hook library's interface, shared by the program and the hook library (hook/): how they find
// each other (the shared memory object and its layout) and the messages the library sends to the
// main window, one per key transition. Kept free of Qt so that both sides share the very same
// names, numbers, layout and checks.

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

// The optional entry point `void HookUseSharedMemory(const char* name)` of the hook library: from the
// next HookOn on, the library reads the window from the object of that name instead (null or ""
// goes back to testHookName()). When another user has taken the shared name, the program
// creates an object under a name only it knows and passes that name this way, inside the
// process.
constexpr const char* HookUseSharedMemorySymbol = "HookUseSharedMemory";

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

// The messages, one per key transition.

// Every key except the three below; the keystroke flags are in LParam.
constexpr std::uint32_t HookKeyMessage = 0x1400;
// The left and right Windows keys and the menu key, with WParam KeyDownWParam or KeyUpWParam.
constexpr std::uint32_t HookLeftWindowsMessage = 0x2400;
constexpr std::uint32_t HookRightWindowsMessage = 0x3400;
constexpr std::uint32_t HookMenuKeyMessage = 0x3500;

constexpr std::uint32_t KeyDownWParam = 256;
constexpr std::uint32_t KeyUpWParam = 257;

// Keystroke flags, laid out like the LParam of a PC keystroke message.
namespace keystroke {
constexpr std::uint32_t RepeatCountMask = 0x0000FFFFu;
constexpr int ScanCodeShift = 16;
constexpr std::uint32_t ScanCodeMask = 0x00FF0000u;
constexpr std::uint32_t Extended = 1u << 24;
// Asks the key-name function not to tell left-hand from right-hand Ctrl and Shift.
constexpr std::uint32_t DontCare = 1u << 25;
// Set when the key was already down: on a press this marks an auto-repeat.
constexpr std::uint32_t PreviousState = 1u << 30;
constexpr std::uint32_t Released = 1u << 31;

constexpr std::uint32_t flags(std::uint8_t scanCode, bool extended)
{
    return (std::uint32_t(scanCode) << ScanCodeShift) | (extended ? Extended : 0u);
}
constexpr std::uint8_t scanCodeOf(std::uint32_t lParam)
{
    return std::uint8_t((lParam & ScanCodeMask) >> ScanCodeShift);
}
}  // namespace keystroke

}  // namespace tavrel
