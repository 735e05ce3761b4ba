// Stand-ins for the hook library, to load without an X display. FAKE_HOOK_ON, FAKE_HOOK_OFF and
// FAKE_HOOK_USE_MAPPING choose which entry points this build exports.

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
#ifdef FAKE_HOOK_USE_MAPPING
extern "C" {
// The name HookUseMapping was last given, "" for none.
__attribute__((visibility("default"))) char fakeHookMapping[256] = "";
}

FAKE_EXPORT void HookUseMapping(const char* name)
{
    std::strncpy(fakeHookMapping, name ? name : "", sizeof fakeHookMapping - 1);
}
#endif
