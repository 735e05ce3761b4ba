#include "platform/hooklibrary.h"

#include "platform/platformlog.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>

// The build passes the installed layout; this is the usual one.
#ifndef TAVREL_INSTALLED_HOOK_FOLDER
#define TAVREL_INSTALLED_HOOK_FOLDER "../lib/tavrel/"
#endif

namespace tavrel::platform {

const char* const InstalledHookLibraryFolder = TAVREL_INSTALLED_HOOK_FOLDER;

HookLibrary::Loaded HookLibrary::load(const std::string& folder, const char* fileName)
{
    const std::string path = folder + fileName;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        return {IoResult::failure(IoResult::Status::HookLibraryMissing, 0, QString::fromLocal8Bit(dlerror())), nullptr};
    }
    const auto hookOn = reinterpret_cast<EntryPoint>(dlsym(handle, "HookOn"));
    const auto hookOff = reinterpret_cast<EntryPoint>(dlsym(handle, "HookOff"));
    if (!hookOn || !hookOff) {
        dlclose(handle);
        return {IoResult::failure(IoResult::Status::HookEntryPointsMissing, 0,
                                  QStringLiteral("%1 has no HookOn or no HookOff").arg(QString::fromStdString(path))),
                nullptr};
    }
    // Optional: a library without it reads this user's "TestHook" only.
    const auto useSharedMemoryName = reinterpret_cast<NameEntryPoint>(dlsym(handle, HookUseSharedMemorySymbol));
    return {IoResult::success(), std::unique_ptr<HookLibrary>(new HookLibrary(hookOn, hookOff, useSharedMemoryName))};
}

std::string executableFolder()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        qCWarning(lcPlatform) << "The program's folder is not known:" << QString::fromStdString(error.message());
        return "./";
    }
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::vector<std::string> hookLibraryFolders(const std::string& programFolder, const std::string& installedFolder)
{
    const auto withSeparator = [](std::string folder) {
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        return folder;
    };
    const std::string own = withSeparator(programFolder);
    const std::string installed =
        withSeparator((std::filesystem::path(own) / installedFolder).lexically_normal().string());
    // A layout that keeps the library beside the program has one folder to look in.
    if (installed == withSeparator(std::filesystem::path(own).lexically_normal().string()))
        return {own};
    return {own, installed};
}

KeyboardHook setUpKeyboardHook(quint32 windowId, const std::vector<std::string>& folders, const std::string& name)
{
    // Never a bare file name: dlopen would search the library path for it.
    if (folders.empty())
        return {IoResult::failure(IoResult::Status::HookLibraryMissing, 0, QStringLiteral("no folder to look in")),
                nullptr, nullptr};
    std::string folder = folders.front();
    for (const std::string& candidate : folders) {
        std::error_code error;
        if (std::filesystem::exists(candidate + HookLibraryFileName, error)) {
            folder = candidate;
            break;
        }
    }
    HookLibrary::Loaded loaded = HookLibrary::load(folder);
    if (!loaded.outcome.ok())
        return {std::move(loaded.outcome), nullptr, nullptr};
    KeyboardHook hook{IoResult::success(), std::move(loaded.library), TestHookMemory::create(name)};
    // Another user may have created the name first: capture goes on through a name of our own.
    if (!hook.memory && hook.library->takesSharedMemoryName())
        hook.memory = TestHookMemory::createPrivate(name);
    if (!hook.memory || !hook.memory->store(windowId)) {
        const int error = errno;
        return {IoResult::failure(IoResult::Status::SharedMemoryFailed, error,
                                  QStringLiteral("%1 cannot be created or written: %2")
                                      .arg(QString::fromStdString(name), QString::fromLocal8Bit(std::strerror(error)))),
                nullptr, nullptr};
    }
    return hook;
}

bool switchCaptureOn(const HookLibrary& library, TestHookMemory* memory)
{
    if (!memory)
        return false;
    if (!memory->reclaim() && !(library.takesSharedMemoryName() && memory->moveToPrivateName())) {
        qCWarning(lcHook) << "Capture stays off: someone else holds" << QString::fromStdString(memory->name());
        return false;
    }
    library.useSharedMemoryName(memory->name());
    library.HookOn();
    return true;
}

}  // namespace tavrel::platform
