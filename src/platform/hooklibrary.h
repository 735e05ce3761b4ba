#pragma once
// Loading the hook library and preparing "TestHook" at start-up.

#include "keys/hookinterface.h"
#include "platform/ioresult.h"
#include "platform/testhookmemory.h"

#include <QtGlobal>
#include <memory>
#include <string>
#include <vector>

namespace tavrel::platform {

class HookLibrary {
public:
    struct Loaded {
        IoResult outcome;  // Ok, HookLibraryMissing or HookEntryPointsMissing
        std::unique_ptr<HookLibrary> library;
    };
    // Loads the hook library from the folder (which ends with a separator) and looks up its
    // entry points: HookLibraryMissing when the file cannot be loaded (dlerror() in the message),
    // HookEntryPointsMissing when HookOn or HookOff is missing.
    static Loaded load(const std::string& folder, const char* fileName = HookLibraryFileName);

    // The library stays loaded until the process ends, as its reporting thread may outlive
    // this object.
    ~HookLibrary() = default;

    HookLibrary(const HookLibrary&) = delete;
    HookLibrary& operator=(const HookLibrary&) = delete;

    void HookOn() const { m_hookOn(); }
    void HookOff() const { m_hookOff(); }

    // Whether the library can be told another object to read the window from (its optional
    // HookUseSharedMemory entry point), and telling it, for the next HookOn.
    bool takesSharedMemoryName() const { return m_useSharedMemoryName != nullptr; }
    void useSharedMemoryName(const std::string& name) const
    {
        if (m_useSharedMemoryName)
            m_useSharedMemoryName(name.c_str());
    }

private:
    using EntryPoint = void (*)();
    using NameEntryPoint = void (*)(const char*);
    HookLibrary(EntryPoint hookOn, EntryPoint hookOff, NameEntryPoint useSharedMemoryName)
        : m_hookOn(hookOn), m_hookOff(hookOff), m_useSharedMemoryName(useSharedMemoryName)
    {
    }

    EntryPoint m_hookOn;
    EntryPoint m_hookOff;
    NameEntryPoint m_useSharedMemoryName;  // null in a library without it
};

// The folder of the running executable, with a trailing separator.
std::string executableFolder();

// Where an installed program keeps the hook library, relative to the program's folder; fixed
// when the program is built, so that an installed tree can be moved as a whole.
extern const char* const InstalledHookLibraryFolder;

// The folders to look for the hook library in, in order, each with a trailing separator: the
// program's own folder, where a build tree keeps the library, then the installed folder.
std::vector<std::string> hookLibraryFolders(const std::string& programFolder = executableFolder(),
                                            const std::string& installedFolder = InstalledHookLibraryFolder);

struct KeyboardHook {
    IoResult outcome;  // Ok, or the first step that failed; library and memory are null then
    std::unique_ptr<HookLibrary> library;
    std::unique_ptr<TestHookMemory> memory;
};

// The start-up steps in order: load the library from the first of the folders that holds it (or
// from the first folder when none does), look up its entry points, create "TestHook" and store
// the window id and the run's token in it. When someone else holds the name, and the library can
// be told another, the object gets a name only this process knows. The outcome names the first
// step that fails (SharedMemoryFailed when no shared memory can be created or written).
KeyboardHook setUpKeyboardHook(quint32 windowId, const std::vector<std::string>& folders = hookLibraryFolders(),
                               const std::string& name = testHookName());

// Switches capture on as the capture box gains focus: makes the name stand for this window again
// (or, when someone else has taken it since and the library can be told another, moves to a name
// of this process's own), tells the library the name, and then calls HookOn. When no name can be
// had, HookOn is not called, as the library would report the keys to whatever window the name
// stands for. Returns whether capture is on.
bool switchCaptureOn(const HookLibrary& library, TestHookMemory* memory);

}  // namespace tavrel::platform
