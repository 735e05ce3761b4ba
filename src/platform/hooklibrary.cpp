#include "platform/hooklibrary.h"

#include <QCoreApplication>

#include <dlfcn.h>
#include <filesystem>

namespace tavrel::platform {

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
        throw HookSetupError(
            setupErrorText(QT_TRANSLATE_NOOP("tavrel::platform::HookLibrary", "未发现键盘钩子DLL")));
    const auto hookOn = reinterpret_cast<EntryPoint>(dlsym(handle, "HookOn"));
    const auto hookOff = reinterpret_cast<EntryPoint>(dlsym(handle, "HookOff"));
    if (!hookOn || !hookOff) {
        dlclose(handle);
        throw HookSetupError(
            setupErrorText(QT_TRANSLATE_NOOP("tavrel::platform::HookLibrary", "在给定的 DLL中未发现所需的函数")));
    }
    return std::unique_ptr<HookLibrary>(new HookLibrary(hookOn, hookOff));
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

KeyboardHook setUpKeyboardHook(quint32 windowId, const std::string& folder,
                               const char* testHookName)
{
    KeyboardHook hook;
    hook.library = HookLibrary::load(folder);
    hook.mapping = TestHookMapping::create(testHookName);
    if (!hook.mapping || !hook.mapping->store(windowId))
        throw HookSetupError(
            setupErrorText(QT_TRANSLATE_NOOP("tavrel::platform::HookLibrary", "创建内存映射文件时出错")));
    return hook;
}

}  // namespace tavrel::platform
