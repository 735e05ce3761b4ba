// The hook message path as the window and the session run it: each message decoded with the
// platform's key names, fed to the capture, and every taken combination encoded into the selected
// key's record.
//
// Input: first a byte whose bits say which keys start with a record from the device, then
// messages of seven bytes each: a kind (the key message, the two Windows keys, the menu key or
// any other number), a WParam selector, the 32-bit LParam and the selected key (-1 to 8).

#include "config/combination.h"
#include "config/keyassignments.h"
#include "config/reports.h"
#include "fuzzcheck.h"
#include "keys/hookinterface.h"
#include "keys/keycapture.h"
#include "keys/keynames.h"
#include "platform/keynametext.h"

using namespace tavrel;
using tavrel::fuzz::FuzzInput;

namespace {

struct Message {
    quint32 message;
    quint32 wParam;
    quint32 lParam;
    int selectedKey;
};

Message takeMessage(FuzzInput& input)
{
    const quint8 kind = input.byte();
    const quint8 w = input.byte();
    Message m{};
    m.lParam = input.u32();
    switch (kind % 8) {
    case 4:
        m.message = HookLeftWindowsMessage;
        break;
    case 5:
        m.message = HookRightWindowsMessage;
        break;
    case 6:
        m.message = HookMenuKeyMessage;
        break;
    case 7:
        m.message = 0x1000u + kind;
        break;
    default:
        m.message = HookKeyMessage;
        break;
    }
    switch (w % 4) {
    case 0:
        m.wParam = KeyDownWParam;
        break;
    case 1:
        m.wParam = KeyUpWParam;
        break;
    default:
        m.wParam = w;
        break;
    }
    m.selectedKey = input.byte() % 10 - 1;
    return m;
}

void checkEvent(const Message& m, const std::optional<KeyEvent>& event)
{
    if (m.message == HookKeyMessage) {
        FUZZ_CHECK(event.has_value());
        FUZZ_CHECK(!event->name.isEmpty() && event->name.size() <= MaxKeyNameLength);
        // A release is a release whatever the previous state says.
        KeyTransition transition = KeyTransition::Down;
        if (m.lParam & keystroke::Released)
            transition = KeyTransition::Up;
        else if (m.lParam & keystroke::PreviousState)
            transition = KeyTransition::AutoRepeat;
        FUZZ_CHECK(event->transition == transition);
        return;
    }
    const bool ownMessage =
        m.message == HookLeftWindowsMessage || m.message == HookRightWindowsMessage || m.message == HookMenuKeyMessage;
    FUZZ_CHECK(event.has_value() == (ownMessage && (m.wParam == KeyDownWParam || m.wParam == KeyUpWParam)));
    if (event)
        FUZZ_CHECK(usageForName(event->name) != 0);
}

// The record the encoder must leave: the modifiers of every held modifier key and the last
// ordinary key as Code1 (00 with modifiers alone), provided any held key is in the key-name
// table; Mode as it was.
void checkEncoded(const KeyRecord& before, const EncodedCombination& after, const TakenCombination& taken)
{
    FUZZ_CHECK(after.record.mode == before.mode);
    quint8 modifiers = 0;
    int code1 = -1;
    bool known = false;
    for (const QString& name : taken.keys) {
        const int u = usageForName(name);
        known = known || u != 0;
        if (u >= FirstModifierUsage && u <= LastModifierUsage)
            modifiers |= quint8(1u << (u - FirstModifierUsage));
        else if (u != 0)
            code1 = u;
    }
    if (!known) {
        FUZZ_CHECK(after.record == before);
        return;
    }
    FUZZ_CHECK(after.record.modifiers == modifiers);
    FUZZ_CHECK(after.trace.size() == 11);
    // Modifiers alone carry no key.
    FUZZ_CHECK(after.record.code1 == (code1 >= 0 ? code1 : 0));
    FUZZ_CHECK(after.record.code2 == 0 && after.record.code3 == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    KeyAssignments held;
    const quint8 recorded = input.byte();
    for (int k = 0; k < KeySlots; ++k) {
        if (recorded & (1u << k))
            held.takeAnswer({0x81, quint8(0x80 | k), 0x01, 0x04, 0x00, 0x00, quint8(k % 5)}, false);
    }

    KeyCapture capture;
    while (!input.empty()) {
        const Message m = takeMessage(input);
        const std::optional<KeyEvent> event = decodeHookMessage(m.message, m.wParam, m.lParam, &platform::keyNameText);
        checkEvent(m, event);
        if (!event)
            continue;

        const int heldBefore = int(capture.pressedKeys().size());
        const std::optional<TakenCombination> taken = capture.handle(*event);
        FUZZ_CHECK(capture.pressedKeys().size() <= KeyCapture::MaxKeys);
        FUZZ_CHECK(capture.captureState() >= 0 && capture.captureState() <= KeyCapture::MaxKeys);
        FUZZ_CHECK(capture.captureState() == 0 || capture.captureState() == capture.pressedKeys().size());
        if (!taken)
            continue;

        FUZZ_CHECK(event->transition == KeyTransition::Up);
        FUZZ_CHECK(taken->keys.size() == heldBefore && heldBefore >= 1 && heldBefore <= KeyCapture::MaxKeys);
        FUZZ_CHECK(taken->text == taken->keys.join(QLatin1Char('+')));
        FUZZ_CHECK(taken->codes.split(QLatin1Char('-')).size() == taken->keys.size());

        // As the session stores it: into the selected key only, none when no key is selected.
        const int s = m.selectedKey;
        const KeyRecord before = held.at(s) ? held.at(s)->record : KeyRecord{};
        const EncodedCombination encoded = encodeCombination(before, taken->keys);
        checkEncoded(before, encoded, *taken);
        std::array<std::optional<StoredRecord>, KeySlots> others;
        for (int k = 0; k < KeySlots; ++k)
            others[std::size_t(k)] = held.at(k);
        held.set(s, encoded.record, RecordOrigin::Edited, taken->text);
        for (int k = 0; k < KeySlots; ++k) {
            if (k == s)
                continue;
            const auto& now = held.at(k);
            FUZZ_CHECK(bool(now) == bool(others[std::size_t(k)]));
            if (now)
                FUZZ_CHECK(now->record == others[std::size_t(k)]->record && now->text == others[std::size_t(k)]->text);
        }
        if (validKey(s))
            FUZZ_CHECK(held.at(s)->record == encoded.record && held.at(s)->unsent());
    }

    // Whatever was captured, every key that holds a record makes a valid write.
    for (int k = 0; k < KeySlots; ++k) {
        if (!held.at(k))
            continue;
        const OutputReport report = writeKeyReport(k, held.at(k)->record);
        FUZZ_CHECK(report[0] == OutputReportId && report[1] == WriteKeyCommand && report[2] == k);
    }
    return 0;
}
