// The input events of a device's keyboard and mouse, read back as presses and releases and
// matched against the device's records, as the session does with what the kernel hands over.
//
// Input: a byte giving the number of records (up to 8), five bytes per record (Modifiers,
// Code1, Code2, Code3, Mode; Mode EE: no record), then events of six bytes each: the device
// (any byte; 0 to 7 are the input devices of the device), a type (0 a frame's end or a SYN_DROPPED by its
// code, 1 a key, FD the device went away, any other byte as it is), the 16-bit code, a value byte
// (0, 1 and 2 as the kernel sends them, any other byte as a signed number) and the milliseconds
// since the event before.

#include "config/inputdecoder.h"
#include "fuzzcheck.h"
#include "keys/inputcodes.h"
#include "keys/keynames.h"

#include <vector>

using namespace tavrel;
using tavrel::fuzz::FuzzInput;

namespace {

void checkInput(const SentInput& input)
{
    FUZZ_CHECK(!input.empty());
    FUZZ_CHECK((input.buttons & ~0x07) == 0);
    for (qsizetype i = 0; i < input.keys.size(); ++i) {
        const int usage = input.keys[i];
        FUZZ_CHECK(keyCodeForUsage(usage) != 0);
        FUZZ_CHECK(usage < FirstModifierUsage);
        FUZZ_CHECK(input.keys.indexOf(input.keys[i]) == i);
    }
    for (const quint16 code : input.unnamed) {
        FUZZ_CHECK(code <= LastKeyCode);
        FUZZ_CHECK(usageForKeyCode(code) == 0 && mouseButtonForCode(code) == 0);
        FUZZ_CHECK(input.unnamed.count(code) == 1);
    }
    const InputNames names{[](int usage) { return keyNameForUsage(usage); }, [](quint8) { return QStringLiteral("b"); },
                           [](quint16) { return QStringLiteral("c"); }};
    FUZZ_CHECK(!sentInputText(input, names).isEmpty());
}

void checkMatches(const std::vector<std::optional<KeyRecord>>& records, const InputChange& change)
{
    const QList<int> keys = keysSending(records, change);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        FUZZ_CHECK(keys[i] >= 0 && keys[i] < int(records.size()) && records[std::size_t(keys[i])]);
        FUZZ_CHECK(i == 0 || keys[i - 1] < keys[i]);
        FUZZ_CHECK(!change.repeated() || isRepeatMode(records[std::size_t(keys[i])]->mode));
    }
    // The record a key would hold to send this is found, as long as a record can hold it.
    const SentInput& in = change.input;
    if (in.unnamed.isEmpty() && in.buttons == 0 && in.keys.size() <= 3) {
        const KeyRecord own{in.modifiers, quint8(in.keys.value(0)), quint8(in.keys.value(1)), quint8(in.keys.value(2)),
                            ModeKeyboardRepeat};
        const std::vector<std::optional<KeyRecord>> one{own};
        FUZZ_CHECK(keysSending(one, change) == QList<int>{0});
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    std::vector<std::optional<KeyRecord>> records;
    const int count = input.byte() % 9;
    for (int k = 0; k < count; ++k) {
        KeyRecord r;
        r.modifiers = input.byte();
        r.code1 = input.byte();
        r.code2 = input.byte();
        r.code3 = input.byte();
        r.mode = input.byte();
        records.push_back(r.mode == 0xEE ? std::nullopt : std::optional<KeyRecord>(r));
    }

    InputDecoder decoder;
    std::optional<InputChange> lastPress;
    bool released = true;
    qint64 now = 0;
    while (!input.empty()) {
        const int source = input.byte();
        const quint8 type = input.byte();
        InputEvent event;
        event.type = type == 0 ? EventSync : type == 1 ? EventKey : type;
        event.code = input.u16();
        const quint8 value = input.byte();
        event.value = value <= 2 ? value : qint8(value);
        now += input.byte();
        if (type == 0xFD) {
            decoder.forget(source);
            continue;
        }
        for (const InputChange& change : decoder.take(source, event, now)) {
            checkInput(change.input);
            checkMatches(records, change);
            FUZZ_CHECK(change.presses >= 1);
            if (change.kind == InputChange::Kind::Press) {
                FUZZ_CHECK(change.presses == 1
                           || (lastPress && released && change.presses == lastPress->presses + 1
                               && change.input == lastPress->input));
                lastPress = change;
                released = false;
            } else {
                // A release lets go of what the last press held, once.
                FUZZ_CHECK(lastPress && !released);
                FUZZ_CHECK(change.input == lastPress->input && change.presses == lastPress->presses);
                released = true;
            }
        }
    }
    return 0;
}
