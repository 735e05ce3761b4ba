#include "platform/hooklibrary.h"

#include <QCoreApplication>

#include <dlfcn.h>
#include <filesystem>

// The build passes the installed layout; this is the usual one.
#ifndef TAVREL_INSTALLED_HOOK_FOLDER
#define TAVREL_INSTALLED_HOOK_FOLDER "../lib/tavrel/"
#endif

namespace tavrel::platform {

const char* const InstalledHookLibraryFolder = TAVREL_INSTALLED_HOOK_FOLDER;

namespace {

// The error texts are shown to the user, in the user's language.
std::string setupErrorText(const char* text)
{
    return QCoreApplication::translate("tavrel::platform::HookLibrary", text).toStdString();
}

}  // namespace

std::unique_ptr<HookLibrary> HookLibrary::load(const std::string& folder, const char* fileName)
{
    const std::string path = folder + fileName;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        throw HookSetupError(setupErrorText(QT_TRANSLATE_NOOP("tavrel::platform::HookLibrary", "未发现键盘钩子DLL")));
    const auto hookOn = reinterpret_cast<EntryPoint>(dlsym(handle, "HookOn"));
    const auto hookOff = reinterpret_cast<EntryPoint>(dlsym(handle, "HookOff"));
    if (!hookOn || !hookOff) {
        dlclose(handle);
        throw HookSetupError(
            setupErrorText(QT_TRANSLATE_NOOP("tavrel::platform::HookLibrary", "在给定的 DLL中未发现所需的函数")));
    }
    // Optional: a library without it reads this user's "TestHook" only.
    const auto useMapping = reinterpret_cast<NameEntryPoint>(dlsym(handle, HookUseMappingSymbol));
    return std::unique_ptr<HookLibrary>(new HookLibrary(hookOn, hookOff, useMapping));
}

std::string executableFolder()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "./";
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
        throw HookSetupError(setupErrorText(QT_TRANSLATE_NOOP("tavrel::platform::HookLibrary", "未发现键盘钩子DLL")));
    std::string folder = folders.front();
    for (const std::string& candidate : folders) {
        std::error_code error;
        if (std::filesystem::exists(candidate + HookLibraryFileName, error)) {
            folder = candidate;
            break;
        }
    }
    KeyboardHook hook;
    hook.library = HookLibrary::load(folder);
    hook.mapping = TestHookMapping::create(name);
    // Another user may have created the name first: capture goes on through a name of our own.
    if (!hook.mapping && hook.library->canUseMapping())
        hook.mapping = TestHookMapping::createPrivate(name);
    if (!hook.mapping || !hook.mapping->store(windowId))
        throw HookSetupError(
            setupErrorText(QT_TRANSLATE_NOOP("tavrel::platform::HookLibrary", "创建内存映射文件时出错")));
    return hook;
}

bool switchCaptureOn(const HookLibrary& library, TestHookMapping* mapping)
{
    if (!mapping)
        return false;
    if (!mapping->reclaim() && !(library.canUseMapping() && mapping->moveToPrivateName()))
        return false;
    library.useMapping(mapping->name());
    library.HookOn();
    return true;
}

}  // namespace tavrel::platform
