// Reading a key's input events back as presses and releases, and naming the keys whose records
// send what was received.
#include "config/inputdecoder.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <ostream>
#include <vector>

using namespace tavrel;

namespace tavrel {
void PrintTo(const InputChange& c, std::ostream* os)
{
    *os << (c.kind == InputChange::Kind::Press ? "press" : "release") << " mods=" << int(c.input.modifiers) << " keys=";
    for (const quint8 k : c.input.keys)
        *os << int(k) << ',';
    *os << " buttons=" << int(c.input.buttons) << " unnamed=";
    for (const quint16 u : c.input.unnamed)
        *os << u << ',';
    *os << " presses=" << c.presses;
}
}  // namespace tavrel

namespace {

// One device's frame: key events (code, value), then SYN_REPORT, at timeMs. `sync` false leaves
// the frame open.
struct Frame {
    int source;
    qint64 timeMs;
    std::vector<std::pair<unsigned, int>> keys;
    bool sync = true;
};

InputChange press(SentInput input, int presses = 1)
{
    return {InputChange::Kind::Press, std::move(input), presses};
}

InputChange release(SentInput input, int presses = 1)
{
    return {InputChange::Kind::Release, std::move(input), presses};
}

SentInput keyboard(quint8 modifiers, QList<quint8> keys)
{
    SentInput input;
    input.modifiers = modifiers;
    input.keys = std::move(keys);
    return input;
}

SentInput mouse(quint8 buttons)
{
    SentInput input;
    input.buttons = buttons;
    return input;
}

std::vector<InputChange> decode(const std::vector<Frame>& frames)
{
    InputDecoder decoder;
    std::vector<InputChange> changes;
    for (const Frame& f : frames) {
        for (const auto& [code, value] : f.keys) {
            // Scan codes and relative motion come between the keys, as a mouse reports them.
            EXPECT_TRUE(decoder.take(f.source, {EV_MSC, MSC_SCAN, 0x70005}, f.timeMs).isEmpty());
            EXPECT_TRUE(decoder.take(f.source, {EV_KEY, quint16(code), value}, f.timeMs).isEmpty());
            EXPECT_TRUE(decoder.take(f.source, {EV_REL, REL_X, 1}, f.timeMs).isEmpty());
        }
        if (f.sync)
            for (const InputChange& change : decoder.take(f.source, {EV_SYN, SYN_REPORT, 0}, f.timeMs))
                changes.push_back(change);
    }
    return changes;
}

const SentInput CtrlShiftB = keyboard(0x03, {0x05});

}  // namespace

TEST(InputDecoder, FramesBecomePressesAndReleases)
{
    const struct {
        const char* name;
        std::vector<Frame> frames;
        std::vector<InputChange> expected;
    } cases[] = {
        {"a combination down in one frame and up in the next",
         {{0, 0, {{KEY_LEFTCTRL, 1}, {KEY_LEFTSHIFT, 1}, {KEY_B, 1}}},
          {0, 20, {{KEY_LEFTCTRL, 0}, {KEY_LEFTSHIFT, 0}, {KEY_B, 0}}}},
         {press(CtrlShiftB), release(CtrlShiftB)}},
        {"a key repeating its combination counts its presses",
         {{0, 0, {{KEY_LEFTCTRL, 1}, {KEY_LEFTSHIFT, 1}, {KEY_B, 1}}},
          {0, 20, {{KEY_LEFTCTRL, 0}, {KEY_LEFTSHIFT, 0}, {KEY_B, 0}}},
          {0, 80, {{KEY_LEFTCTRL, 1}, {KEY_LEFTSHIFT, 1}, {KEY_B, 1}}},
          {0, 100, {{KEY_LEFTCTRL, 0}, {KEY_LEFTSHIFT, 0}, {KEY_B, 0}}},
          {0, 160, {{KEY_LEFTCTRL, 1}, {KEY_LEFTSHIFT, 1}, {KEY_B, 1}}}},
         {press(CtrlShiftB), release(CtrlShiftB), press(CtrlShiftB, 2), release(CtrlShiftB, 2), press(CtrlShiftB, 3)}},
        {"pressed again after a longer pause is a single press",
         {{0, 0, {{KEY_A, 1}}}, {0, 20, {{KEY_A, 0}}}, {0, 20 + RepeatGapMs + 1, {{KEY_A, 1}}}},
         {press(keyboard(0, {0x04})), release(keyboard(0, {0x04})), press(keyboard(0, {0x04}))}},
        {"another combination soon after is a single press",
         {{0, 0, {{KEY_A, 1}}}, {0, 20, {{KEY_A, 0}}}, {0, 40, {{KEY_B, 1}}}},
         {press(keyboard(0, {0x04})), release(keyboard(0, {0x04})), press(keyboard(0, {0x05}))}},
        {"a mouse button on the mouse device",
         {{1, 0, {{BTN_LEFT, 1}}}, {1, 30, {{BTN_LEFT, 0}}}},
         {press(mouse(0x01)), release(mouse(0x01))}},
        {"keys let go one frame at a time are released with the last",
         {{0, 0, {{KEY_LEFTCTRL, 1}, {KEY_B, 1}}}, {0, 10, {{KEY_B, 0}}}, {0, 20, {{KEY_LEFTCTRL, 0}}}},
         {press(keyboard(0x01, {0x05})), release(keyboard(0x01, {0x05}))}},
        {"keys put down one frame at a time are each a press of all that is held",
         {{0, 0, {{KEY_LEFTCTRL, 1}}}, {0, 10, {{KEY_B, 1}}}, {0, 20, {{KEY_B, 0}, {KEY_LEFTCTRL, 0}}}},
         {press(keyboard(0x01, {})), press(keyboard(0x01, {0x05})), release(keyboard(0x01, {0x05}))}},
        {"the kernel's auto-repeat changes nothing",
         {{0, 0, {{KEY_A, 1}}}, {0, 500, {{KEY_A, 2}}}, {0, 533, {{KEY_A, 2}}}, {0, 540, {{KEY_A, 0}}}},
         {press(keyboard(0, {0x04})), release(keyboard(0, {0x04}))}},
        {"each device's events count at the end of its own frame",
         {{0, 0, {{KEY_RIGHTALT, 1}}, false}, {1, 5, {{BTN_RIGHT, 1}}}, {0, 10, {}}},
         {press(mouse(0x02)), press([] {
              SentInput i = mouse(0x02);
              i.modifiers = 0x40;
              return i;
          }())}},
        {"keys without a name are kept by their code, in order",
         {{0, 0, {{KEY_F13, 1}, {KEY_A, 1}, {KEY_MUTE, 1}}}},
         {press([] {
             SentInput i = keyboard(0, {0x04});
             i.unnamed = {KEY_F13, KEY_MUTE};
             return i;
         }())}},
        {"a release of a key not down, or a press of one that is, is nothing",
         {{0, 0, {{KEY_A, 0}}}, {0, 10, {{KEY_B, 1}}}, {0, 20, {{KEY_B, 1}}}, {0, 30, {{KEY_B, 0}}}},
         {press(keyboard(0, {0x05})), release(keyboard(0, {0x05}))}},
        {"a key down and up within one frame is a press and its release",
         {{0, 0, {{KEY_LEFTCTRL, 1}, {KEY_A, 1}, {KEY_A, 0}, {KEY_LEFTCTRL, 0}}}, {0, 10, {{KEY_A, 1}, {KEY_A, 0}}}},
         {press(keyboard(0x01, {0x04})), release(keyboard(0x01, {0x04})), press(keyboard(0, {0x04})),
          release(keyboard(0, {0x04}))}},
        {"a key held by both devices is held once",
         {{0, 0, {{KEY_A, 1}}}, {1, 5, {{KEY_A, 1}, {KEY_F13, 1}}}, {0, 10, {{KEY_F13, 1}}}},
         {press(keyboard(0, {0x04})), press([] {
              SentInput i = keyboard(0, {0x04});
              i.unnamed = {KEY_F13};
              return i;
          }())}},
        {"a frame with nothing in it is nothing", {{0, 0, {}}, {1, 0, {}}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode(c.frames), c.expected);
    }
}

TEST(InputDecoder, ADeviceThatWentLetsGoOfItsKeysAndOthersAreIgnored)
{
    InputDecoder decoder;
    decoder.take(0, {EV_KEY, KEY_A, 1}, 0);
    EXPECT_EQ(decoder.take(0, {EV_SYN, SYN_REPORT, 0}, 0).size(), 1);
    decoder.forget(0);
    decoder.take(1, {EV_KEY, BTN_LEFT, 1}, 10);
    EXPECT_EQ(decoder.take(1, {EV_SYN, SYN_REPORT, 0}, 10), QList<InputChange>{press(mouse(0x01))});

    for (const int source : {-1, InputDecoder::MaxSources}) {
        decoder.take(source, {EV_KEY, KEY_B, 1}, 20);
        EXPECT_TRUE(decoder.take(source, {EV_SYN, SYN_REPORT, 0}, 20).isEmpty());
    }
}

TEST(KeysSending, RecordsThatSendWhatWasReceived)
{
    const std::vector<std::optional<KeyRecord>> records = {
        KeyRecord{0x03, 0x05, 0, 0, ModeKeyboardSingle},        // 0: Ctrl+Shift+B
        KeyRecord{0x03, 0x05, 0, 0, ModeKeyboardRepeat},        // 1: Ctrl+Shift+B, repeated
        KeyRecord{MouseLeft, 0, 0, 0, ModeMouseSingle},         // 2
        KeyRecord{MouseRight, 0, 0, 0, ModeMouseRepeat},        // 3
        std::nullopt,                                           // 4: not read
        KeyRecord{0x02, 0, 0, 0, ModeKeyboardSingle},           // 5: Shift alone
        KeyRecord{MouseLeft, 0, 0, 0, 0x04},                    // 6: a mode no key sends
        KeyRecord{0x00, 0x04, 0x05, 0xFF, ModeKeyboardSingle},  // 7: A and B
        KeyRecord{0, 0, 0, 0, ModeKeyboardSingle},              // 8: no key
    };
    const auto with = [](SentInput input, auto change) {
        change(input);
        return input;
    };
    const struct {
        const char* name;
        InputChange change;
        QList<int> keys;
    } cases[] = {
        {"a single press: both triggers send it", press(CtrlShiftB), {0, 1}},
        {"its release names the same keys", release(CtrlShiftB), {0, 1}},
        {"a repeated press: only the repeating record", press(CtrlShiftB, 2), {1}},
        {"the left button", press(mouse(MouseLeft)), {2}},
        {"the left button repeated: no record repeats it", press(mouse(MouseLeft), 3), {}},
        {"the right button repeated", press(mouse(MouseRight), 2), {3}},
        {"a modifier alone", press(keyboard(0x02, {})), {5}},
        {"two keys in either order", press(keyboard(0, {0x05, 0x04})), {7}},
        {"a modifier too many", press(keyboard(0x07, {0x05})), {}},
        {"a modifier too few", press(keyboard(0x01, {0x05})), {}},
        {"a mouse button held as well", press(with(CtrlShiftB, [](SentInput& i) { i.buttons = MouseLeft; })), {}},
        {"a key without a name held as well", press(with(CtrlShiftB, [](SentInput& i) { i.unnamed = {KEY_F13}; })), {}},
        {"a mouse button with a modifier",
         press(with(mouse(MouseRight), [](SentInput& i) { i.modifiers = 0x01; })),
         {}},
        {"two mouse buttons", press(mouse(MouseLeft | MouseRight)), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keysSending(records, c.change), c.keys);
    }
}

TEST(SentInputText, NamesEachPartInTheOrderARecordIsShown)
{
    const InputNames names{
        [](int usage) { return QStringLiteral("k%1").arg(usage, 2, 16, QLatin1Char('0')); },
        [](quint8 button) { return QStringLiteral("b%1").arg(button); },
        [](quint16 code) { return QStringLiteral("c%1").arg(code); },
    };
    SentInput everything = keyboard(0x47, {0x1D, 0x04});
    everything.buttons = 0x05;
    everything.unnamed = {183, 113};
    const struct {
        SentInput input;
        const char* text;
    } cases[] = {
        {CtrlShiftB, "Ctrl+Shift+k05"},
        {keyboard(0x84, {}), "Alt+Right Windows"},
        {mouse(0x04), "b4"},
        {everything, "Ctrl+Alt+Shift+Right Alt+k1d+k04+b1+b4+c183+c113"},
        {SentInput{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sentInputText(c.input, names), QLatin1String(c.text));
}
