// The hook message path as the main window runs it: each message decoded with the platform's key
// names, fed to the capture, and every taken combination encoded into the selected key.
//
// Input: first a byte whose bits say which keys start with a record from the device, then
// messages of seven bytes each: a kind (the key message, the two Windows keys, the menu key or
// any other number), a WParam selector, the 32-bit LParam and the selected key (-1 to 8).

#include "config/keytable.h"
#include "config/reports.h"
#include "fuzzcheck.h"
#include "keys/capture.h"
#include "keys/hookmessages.h"
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
    case 4: m.message = WM_HOOKLWIN; break;
    case 5: m.message = WM_HOOKRWIN; break;
    case 6: m.message = WM_HOOKAPPS; break;
    case 7: m.message = 0x1000u + kind; break;
    default: m.message = WM_HOOKKEY; break;
    }
    switch (w % 4) {
    case 0: m.wParam = WM_KEYDOWN; break;
    case 1: m.wParam = WM_KEYUP; break;
    default: m.wParam = w; break;
    }
    m.selectedKey = input.byte() % 10 - 1;
    return m;
}

void checkEvent(const Message& m, const std::optional<KeyEvent>& event)
{
    if (m.message == WM_HOOKKEY) {
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
    const bool ownMessage = m.message == WM_HOOKLWIN || m.message == WM_HOOKRWIN || m.message == WM_HOOKAPPS;
    FUZZ_CHECK(event.has_value() == (ownMessage && (m.wParam == WM_KEYDOWN || m.wParam == WM_KEYUP)));
    if (event)
        FUZZ_CHECK(changekey(event->name) != QLatin1String("0"));
}

// The record the encoder must leave: the modifiers of every held modifier key and the last
// ordinary key as Code1 (00 with modifiers alone), provided any held key is in the key-name
// table; Mode as it was.
void checkEncoded(const KeyTable& before, const KeyTable& after, int s, const TakenCombination& taken)
{
    for (const QString& field : after.KeyBytes)
        FUZZ_CHECK(tavrel::fuzz::isFieldText(field));
    if (!KeyTable::validKey(s)) {
        FUZZ_CHECK(after.KeyBytes == before.KeyBytes && after.KeyText == before.KeyText);
        return;
    }
    for (int k = 0; k < KeyTable::Slots; ++k) {
        if (k == s)
            continue;
        FUZZ_CHECK(after.KeyText[k] == before.KeyText[k]);
        for (int f = 0; f < KeyTable::FieldsPerKey; ++f)
            FUZZ_CHECK(after.field(k, Field(f)) == before.field(k, Field(f)));
    }
    FUZZ_CHECK(after.KeyText[s] == taken.text);
    FUZZ_CHECK(after.field(s, Field::Mode) == before.field(s, Field::Mode));

    quint8 modifiers = 0;
    int code1 = -1;
    bool known = false;
    for (const QString& name : taken.keys) {
        const int u = changekey(name).toInt();
        known = known || u != 0;
        if (u >= FirstModifierUsage && u <= LastModifierUsage)
            modifiers |= quint8(1u << (u - FirstModifierUsage));
        else if (u != 0)
            code1 = u;
    }
    if (!known) {
        for (int f = 0; f < KeyTable::FieldsPerKey; ++f)
            FUZZ_CHECK(after.field(s, Field(f)) == before.field(s, Field(f)));
        return;
    }
    const OutputReport report = writeKeyReport(s, after);
    FUZZ_CHECK(report[0] == OutputReportId && report[1] == CMD_WRITE_KEY && report[2] == s);
    FUZZ_CHECK(report[3] == modifiers);
    if (code1 >= 0) {
        FUZZ_CHECK(report[4] == code1 && after.field(s, Field::Code2) == QLatin1String("00")
                   && after.field(s, Field::Code3) == QLatin1String("00"));
    } else {
        // Modifiers alone carry no key.
        for (Field f : {Field::Code1, Field::Code2, Field::Code3})
            FUZZ_CHECK(after.field(s, f) == QLatin1String("00"));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    KeyTable table;
    const quint8 recorded = input.byte();
    for (int k = 0; k < KeyTable::Slots; ++k) {
        if (recorded & (1u << k))
            applyKeyRecord(table, {0x81, quint8(0x80 | k), 0x01, 0x04, 0x00, 0x00, quint8(k % 5)});
    }

    KeyCapture capture;
    while (!input.empty()) {
        const Message m = takeMessage(input);
        const std::optional<KeyEvent> event =
            decodeHookMessage(m.message, m.wParam, m.lParam, &platform::keyNameText);
        checkEvent(m, event);
        if (!event)
            continue;

        const int heldBefore = int(capture.PressedKeys().size());
        const std::optional<TakenCombination> taken = capture.handle(*event);
        FUZZ_CHECK(capture.PressedKeys().size() <= KeyCapture::MaxKeys);
        FUZZ_CHECK(capture.CaptureState() >= 0 && capture.CaptureState() <= KeyCapture::MaxKeys);
        FUZZ_CHECK(capture.CaptureState() == 0 || capture.CaptureState() == capture.PressedKeys().size());
        if (!taken)
            continue;

        FUZZ_CHECK(event->transition == KeyTransition::Up);
        FUZZ_CHECK(taken->keys.size() == heldBefore && heldBefore >= 1 && heldBefore <= KeyCapture::MaxKeys);
        FUZZ_CHECK(taken->text == taken->keys.join(QLatin1Char('+')));
        FUZZ_CHECK(taken->codes.split(QLatin1Char('-')).size() == taken->keys.size());

        const KeyTable before = table;
        const EncoderTexts texts = Edit1Change(table, m.selectedKey, taken->text, taken->keys);
        table.markSet(m.selectedKey);
        FUZZ_CHECK(texts.Edit4 == QString::number(m.selectedKey));
        checkEncoded(before, table, m.selectedKey, *taken);
    }

    // Whatever was captured, the table still makes a valid write for each of its keys.
    FUZZ_CHECK(table.KeyCount >= 0 && table.KeyCount <= KeyTable::Slots);
    for (int k = 0; k < KeyTable::Slots; ++k) {
        for (int f = 0; f < KeyTable::FieldsPerKey; ++f)
            FUZZ_CHECK(tavrel::fuzz::isFieldText(table.field(k, Field(f))));
        const OutputReport report = writeKeyReport(k, table);
        FUZZ_CHECK(report[0] == OutputReportId && report[1] == CMD_WRITE_KEY && report[2] == k);
    }
    return 0;
}
