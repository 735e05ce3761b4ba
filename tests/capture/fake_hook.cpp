// Stand-ins for the hook library, to load without an X display. FAKE_HOOK_ON and FAKE_HOOK_OFF
// choose which entry points this build exports.

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) int fakeHookCalls = 0;
}

#ifdef FAKE_HOOK_ON
FAKE_EXPORT void HookOn() { fakeHookCalls += 1; }
#endif
#ifdef FAKE_HOOK_OFF
FAKE_EXPORT void HookOff() { fakeHookCalls += 100; }
#endif
