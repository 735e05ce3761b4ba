// Stand-ins for the hook library, to load without an X display. FAKE_HOOK_ON, FAKE_HOOK_OFF and
// FAKE_HOOK_USE_SHARED_MEMORY choose which entry points this build exports.

#include <cstring>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) int fakeHookCalls = 0;
}

#ifdef FAKE_HOOK_ON
FAKE_EXPORT void HookOn()
{
    fakeHookCalls += 1;
}
#endif
#ifdef FAKE_HOOK_OFF
FAKE_EXPORT void HookOff()
{
    fakeHookCalls += 100;
}
#endif
#ifdef FAKE_HOOK_USE_SHARED_MEMORY
extern "C" {
// The name HookUseSharedMemory was last given, "" for none.
__attribute__((visibility("default"))) char fakeHookSharedMemory[256] = "";
}

FAKE_EXPORT void HookUseSharedMemory(const char* name)
{
    std::strncpy(fakeHookSharedMemory, name ? name : "", sizeof fakeHookSharedMemory - 1);
}
#endif
