#include "config/combination.h"
#include "keys/hookinterface.h"
#include "keys/keycapture.h"
#include "qt_print.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavrel;

namespace tavrel {
void PrintTo(const KeyEvent& event, std::ostream* os)
{
    const char* transitions[] = {"Down", "AutoRepeat", "Up"};
    *os << transitions[int(event.transition)] << " \"" << event.name.toStdString() << '"';
}
}  // namespace tavrel

namespace {

struct Step {
    char transition;  // 'D' down, 'R' auto-repeat, 'U' up
    const char* name;
    const char* text = nullptr;  // the combination taken at this step, if any
    const char* codes = nullptr;
};

struct Script {
    const char* title;
    std::vector<Step> steps;
    QStringList pressedAfter;
    int stateAfter;
};

KeyEvent eventOf(const Step& step)
{
    const KeyTransition transition = step.transition == 'D'   ? KeyTransition::Down
                                     : step.transition == 'R' ? KeyTransition::AutoRepeat
                                                              : KeyTransition::Up;
    return KeyEvent{transition, QString::fromLatin1(step.name)};
}

}  // namespace

TEST(KeyCapture, TakesTheHeldKeysAtTheFirstRelease)
{
    const Script scripts[] = {
        {"Ctrl+A, then Ctrl released alone",
         {{'D', "Ctrl"}, {'D', "A"}, {'U', "A", "Ctrl+A", "224-4"}, {'U', "Ctrl"}},
         {},
         0},
        {"a single key", {{'D', "A"}, {'U', "A", "A", "4"}}, {}, 0},
        {"a modifier alone", {{'D', "Shift"}, {'U', "Shift", "Shift", "225"}}, {}, 0},
        {"four keys are the most",
         {{'D', "Ctrl"},
          {'D', "Shift"},
          {'D', "Alt"},
          {'D', "A"},
          {'U', "Shift", "Ctrl+Shift+Alt+A", "224-225-226-4"},
          {'U', "A"},
          {'U', "Ctrl"},
          {'U', "Alt"}},
         {},
         0},
        {"a fifth key empties the list, and no release takes anything",
         {{'D', "Ctrl"},
          {'D', "Shift"},
          {'D', "Alt"},
          {'D', "A"},
          {'D', "B"},
          {'U', "B"},
          {'U', "A"},
          {'U', "Alt"},
          {'U', "Shift"},
          {'U', "Ctrl"}},
         {},
         0},
        {"keys still held after a fifth press start a new list",
         {{'D', "1"},
          {'D', "2"},
          {'D', "3"},
          {'D', "4"},
          {'D', "5"},
          {'D', "Ctrl"},
          {'D', "B"},
          {'U', "B", "Ctrl+B", "224-5"}},
         {"Ctrl"},
         0},
        {"auto-repeat adds nothing", {{'D', "A"}, {'R', "A"}, {'R', "A"}, {'R', "A"}, {'U', "A", "A", "4"}}, {}, 0},
        {"a key pressed after a release makes a new combination",
         {{'D', "Ctrl"}, {'D', "A"}, {'U', "A", "Ctrl+A", "224-4"}, {'D', "B"}, {'U', "B", "Ctrl+B", "224-5"}},
         {"Ctrl"},
         0},
        {"the release of a key not held takes the held keys and keeps them",
         {{'D', "Ctrl"}, {'U', "X", "Ctrl", "224"}, {'U', "Ctrl", "Ctrl", "224"}},
         {},
         0},
        {"a release with nothing held does nothing", {{'U', "A"}, {'U', "Ctrl"}}, {}, 0},
        {"the same name twice, as the Windows keys send no repeats of their own",
         {{'D', "Left Windows"},
          {'D', "Left Windows"},
          {'U', "Left Windows", "Left Windows+Left Windows", "227-227"},
          {'U', "Left Windows"}},
         {},
         0},
        {"a name outside the key-name table is shown and coded 0",
         {{'D', "Ctrl"}, {'D', "F13"}, {'U', "F13", "Ctrl+F13", "224-0"}},
         {"Ctrl"},
         0},
        {"held but not yet released", {{'D', "Alt"}, {'D', "Ctrl"}, {'D', "A"}}, {"Alt", "Ctrl", "A"}, 3},
    };

    for (const Script& script : scripts) {
        SCOPED_TRACE(script.title);
        KeyCapture capture;
        for (std::size_t i = 0; i < script.steps.size(); ++i) {
            const Step& step = script.steps[i];
            const std::optional<TakenCombination> taken = capture.handle(eventOf(step));
            if (step.text) {
                ASSERT_TRUE(taken) << "step " << i;
                EXPECT_EQ(taken->text, QLatin1String(step.text)) << "step " << i;
                EXPECT_EQ(taken->codes, QLatin1String(step.codes)) << "step " << i;
            } else {
                EXPECT_FALSE(taken) << "step " << i << " took " << taken->text.toStdString();
            }
        }
        EXPECT_EQ(capture.pressedKeys(), script.pressedAfter);
        EXPECT_EQ(capture.captureState(), script.stateAfter);
    }
}

TEST(KeyCapture, TakenCombinationCarriesEveryHeldKeyForTheEncoder)
{
    KeyCapture capture;
    for (const char* name : {"Ctrl", "A", "B"})
        capture.keyDown(QString::fromLatin1(name));
    const auto taken = capture.keyUp(QStringLiteral("A"));
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->keys, (QStringList{"Ctrl", "A", "B"}));
    EXPECT_EQ(capture.pressedKeys(), (QStringList{"Ctrl", "B"}));
}

TEST(HookMessages, DecodeIntoKeyEvents)
{
    // Names by scan code, so the test sees which flags reached the key-name function.
    const KeyNameFunction keyName = [](quint32 lParam) {
        const quint8 scan = keystroke::scanCodeOf(lParam);
        if (scan == 0xFF)
            return QStringLiteral("A name longer than nineteen characters");
        return QStringLiteral("scan %1%2")
            .arg(scan, 2, 16, QLatin1Char('0'))
            .arg(lParam & keystroke::Extended ? "e" : "");
    };
    const quint32 a = 0x001E0001;
    struct Case {
        quint32 message, wParam, lParam;
        std::optional<KeyEvent> event;
    } cases[] = {
        {HookKeyMessage, 0, a, KeyEvent{KeyTransition::Down, "scan 1e"}},
        {HookKeyMessage, 256, a | keystroke::PreviousState, KeyEvent{KeyTransition::AutoRepeat, "scan 1e"}},
        {HookKeyMessage, 0, a | keystroke::Released, KeyEvent{KeyTransition::Up, "scan 1e"}},
        {HookKeyMessage, 257, a | keystroke::Released | keystroke::PreviousState,
         KeyEvent{KeyTransition::Up, "scan 1e"}},
        {HookKeyMessage, 0, 0x011D0001, KeyEvent{KeyTransition::Down, "scan 1de"}},
        {HookKeyMessage, 0, 0x00FF0001, KeyEvent{KeyTransition::Down, "A name longer than "}},
        {HookLeftWindowsMessage, 256, 0, KeyEvent{KeyTransition::Down, "Left Windows"}},
        {HookLeftWindowsMessage, 257, 0, KeyEvent{KeyTransition::Up, "Left Windows"}},
        {HookRightWindowsMessage, 256, a | keystroke::Released, KeyEvent{KeyTransition::Down, "Right Windows"}},
        {HookRightWindowsMessage, 257, 0, KeyEvent{KeyTransition::Up, "Right Windows"}},
        {HookMenuKeyMessage, 256, 0, KeyEvent{KeyTransition::Down, "Application"}},
        {HookMenuKeyMessage, 257, 0, KeyEvent{KeyTransition::Up, "Application"}},
        {HookMenuKeyMessage, 258, 0, std::nullopt},
        {HookLeftWindowsMessage, 0, 0, std::nullopt},
        {0x1401, 256, a, std::nullopt},
        {0, 0, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto event = decodeHookMessage(c.message, c.wParam, c.lParam, keyName);
        EXPECT_EQ(event, c.event) << std::hex << c.message << " " << c.wParam << " " << c.lParam;
    }
}

namespace {

KeyRecord recordFrom(const QStringList& fields)
{
    std::array<quint8, 5> bytes{};
    for (qsizetype f = 0; f < fields.size() && f < 5; ++f)
        bytes[std::size_t(f)] = quint8(fields[f].toUInt(nullptr, 16));
    return KeyRecord::fromBytes(bytes);
}

}  // namespace

TEST(Encoder, StoresTheHeldKeysIntoTheRecord)
{
    struct Case {
        const char* title;
        QStringList keys;
        QStringList before;  // Modifiers, Code1, Code2, Code3, Mode; missing ones are 00
        QStringList after;
    } cases[] = {
        {"Ctrl+A", {"Ctrl", "A"}, {"00", "00", "00", "00", "02"}, {"01", "04", "00", "00", "02"}},
        {"A alone", {"A"}, {"05", "1E", "07", "08", "00"}, {"00", "04", "00", "00", "00"}},
        {"Left Windows+B", {"Left Windows", "B"}, {}, {"08", "05", "00", "00", "00"}},
        {"Ctrl+Shift+A", {"Ctrl", "Shift", "A"}, {}, {"03", "04", "00", "00", "00"}},
        {"modifiers alone send no key", {"Shift"}, {"05", "1E", "07", "08", "02"}, {"02", "00", "00", "00", "02"}},
        {"the last ordinary key wins", {"Ctrl", "A", "B"}, {}, {"01", "05", "00", "00", "00"}},
        {"an ordinary key first still resets old modifiers once",
         {"A", "Ctrl"},
         {"06", "00", "00", "00", "00"},
         {"01", "04", "00", "00", "00"}},
        {"right-hand modifiers", {"Right Ctrl", "Right Alt", "Right Windows"}, {}, {"D0", "00", "00", "00", "00"}},
        {"a name outside the table adds nothing to its modifier",
         {"Ctrl", "F13"},
         {"04", "2C", "00", "00", "00"},
         {"01", "00", "00", "00", "00"}},
        {"only names outside the table", {"F13"}, {"04", "2C", "00", "00", "03"}, {"04", "2C", "00", "00", "03"}},
        {"no keys held", {}, {"04", "2C", "00", "00", "00"}, {"04", "2C", "00", "00", "00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const EncodedCombination encoded = encodeCombination(recordFrom(c.before), c.keys);
        EXPECT_EQ(encoded.record, recordFrom(c.after));
        EXPECT_EQ(encoded.trace, c.keys.isEmpty() ? QString() : c.after.mid(0, 4).join(QLatin1Char('-')));
    }
}

TEST(CaptureAndEncoder, CtrlAFromMessagesToRecord)
{
    // The whole way from the hook's messages, as the main window strings the units together.
    const KeyNameFunction keyName = [](quint32 lParam) {
        return keystroke::scanCodeOf(lParam) == 0x1D ? QStringLiteral("Ctrl") : QStringLiteral("A");
    };
    const quint32 messages[][3] = {
        {HookKeyMessage, 256, 0x001D0001}, {HookKeyMessage, 256, 0x001E0001}, {HookKeyMessage, 256, 0x401E0001},
        {HookKeyMessage, 257, 0xC01E0001}, {HookKeyMessage, 257, 0xC01D0001},
    };
    KeyRecord record;
    KeyCapture capture;
    int taken = 0;
    for (const auto& m : messages) {
        const auto event = decodeHookMessage(m[0], m[1], m[2], keyName);
        ASSERT_TRUE(event);
        if (const auto combination = capture.handle(*event)) {
            ++taken;
            EXPECT_EQ(combination->text, QStringLiteral("Ctrl+A"));
            EXPECT_EQ(combination->codes, QStringLiteral("224-4"));
            const EncodedCombination encoded = encodeCombination(record, combination->keys);
            EXPECT_EQ(encoded.trace, QStringLiteral("01-04-00-00"));
            record = encoded.record;
        }
    }
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(record, (KeyRecord{0x01, 0x04, 0, 0, 0}));
    EXPECT_TRUE(capture.pressedKeys().isEmpty());
}
