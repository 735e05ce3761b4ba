// What the window shows for a key, what its model holds for it and what a write sends are the
// same after any sequence of the user's actions: each row of the table below is such a
// sequence, played on the real windows against emulated devices, with key events as the hook
// library delivers them.
#include "windowfixture.h"

#include "keys/hookinterface.h"
#include "ui/widgets/toolbarband.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <functional>

using namespace tavrel;
using namespace tavrel::test;

namespace {

// PC set-1 scan codes of the keys the sequences press.
enum Scan : quint8 { Tab = 0x0F, A = 0x1E, B = 0x30, Shift = 0x2A, Ctrl = 0x1D, Alt = 0x38 };

// A key's assignment in one comparable form: "keyboard Alt+Ctrl single", "mouse 02 repeat".
// Names are sorted: the capture box keeps the order they were pressed in.
QString assignment(bool keyboard, const QString& what, const QString& trigger)
{
    QStringList names = what.split(QLatin1Char('+'), Qt::SkipEmptyParts);
    names.sort();
    return (keyboard ? QStringLiteral("keyboard ") : QStringLiteral("mouse ")) + names.join(QLatin1Char('+'))
           + QLatin1Char(' ') + trigger;
}

QString fromRecord(const std::array<quint8, 5>& r)
{
    const bool keyboard = r[4] == 0x00 || r[4] == 0x02;
    const QString trigger = (r[4] & 0x02) ? QStringLiteral("repeat") : QStringLiteral("single");
    return assignment(keyboard, keyboard ? displayText(r[0], r[1], r[2], r[3]) : hexByte(r[0]), trigger);
}

class InvariantTest : public WindowTest {
public:
    using WindowTest::form;

    QString shown() const
    {
        if (pageStack()->currentIndex() == 0) {
            const QString trigger = radio("keyboardRepeatRadio")->isChecked()   ? QStringLiteral("repeat")
                                    : radio("keyboardSingleRadio")->isChecked() ? QStringLiteral("single")
                                                                                : QStringLiteral("none");
            return assignment(true, captureBox()->text(), trigger);
        }
        const QString button = radio("leftButtonRadio")->isChecked()     ? QStringLiteral("01")
                               : radio("rightButtonRadio")->isChecked()  ? QStringLiteral("02")
                               : radio("middleButtonRadio")->isChecked() ? QStringLiteral("04")
                                                                         : QStringLiteral("none");
        const QString trigger = radio("mouseRepeatRadio")->isChecked()   ? QStringLiteral("repeat")
                                : radio("mouseSingleRadio")->isChecked() ? QStringLiteral("single")
                                                                         : QStringLiteral("none");
        return assignment(false, button, trigger);
    }

    void focusBox()
    {
        activate();
        click(captureBox());
        ASSERT_TRUE(waitFor([&] { return captureBox()->hasFocus() && form->editor()->capturing(); }));
    }
    void key(quint8 scan, bool down)
    {
        form->handleHookMessage(HookKeyMessage, down ? KeyDownWParam : KeyUpWParam,
                                keystroke::flags(scan, false)
                                    | (down ? 0u : keystroke::Released | keystroke::PreviousState));
    }
    void type(std::initializer_list<quint8> scans)
    {
        for (quint8 s : scans)
            key(s, true);
        for (quint8 s : scans)
            key(s, false);
    }
    void pickKey(int k) { click(keyPicker()->item(k)); }

    // Every key of the selected device: shown as its model holds it.
    void expectShownIsHeld(const char* when)
    {
        SCOPED_TRACE(when);
        for (int k = 0; k < form->editor()->shownKeys(); ++k) {
            pickKey(k);
            EXPECT_EQ(shown(), fromRecord(heldRecord(*form->editor(), k))) << "key " << k + 1;
        }
    }

    // Writes, and the device then holds exactly what the model holds.
    void expectWriteSendsHeld(emu::EmulatedDevice& device)
    {
        EXPECT_EQ(writeAndConfirm(), QStringLiteral("设置完成！"));
        for (int k = 0; k < form->editor()->shownKeys(); ++k)
            EXPECT_EQ(fromRecord(device.record(k)), fromRecord(heldRecord(*form->editor(), k))) << "key " << k + 1;
    }

    void read()
    {
        click(readButton());
        waitForRead(6);
    }

    // Loads a key file through Ctrl+O and its dialog, and closes the popup that says so.
    void loadFile(const QByteArray& text)
    {
        const QString path = m_files.filePath(QStringLiteral("keys.json"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        ASSERT_NO_FATAL_FAILURE(chooseFile(QKeySequence::Open, path));
        confirmPopup();
    }

private:
    QTemporaryDir m_files;
};

struct Sequence {
    const char* name;
    std::function<void(InvariantTest&)> play;
    // The selected device's key 1 afterwards, as its record reads.
    const char* key1;
};

}  // namespace

TEST_F(InvariantTest, ShownHeldAndWrittenAgreeAfterEverySequence)
{
    const std::array<quint8, 5> stored[6] = {
        {0x05, 0x04, 0, 0, 0x00},  // Ctrl+Alt+A
        {0x02, 0x00, 0, 0, 0x03},  // right button, repeat
        {0x00, 0x3A, 0, 0, 0x02},  // F1, repeat
        {0x04, 0x00, 0, 0, 0x01},  // wheel button
        {0x01, 0x05, 0, 0, 0x00},  // Ctrl+B
        {0x00, 0x00, 0, 0, 0x00},
    };
    const Sequence sequences[] = {
        {"Tab takes the focus in the middle of a capture",
         [](InvariantTest& t) {
             t.focusBox();
             t.key(Tab, true);
             t.captureBox()->clearFocus();  // where Tab sends the focus
             t.key(Tab, false);
             t.focusBox();
             t.type({A});
         },
         "keyboard A single"},
        {"Tab, then a read without typing anything",
         [](InvariantTest& t) {
             t.focusBox();
             t.key(Tab, true);
             t.captureBox()->clearFocus();
             t.focusBox();
             t.key(A, true);
             t.read();
             t.key(A, false);
         },
         "keyboard A+Alt+Ctrl single"},
        {"the window is left with Alt+Tab while Ctrl is held",
         [](InvariantTest& t) {
             t.focusBox();
             t.key(Ctrl, true);
             QWidget other;
             other.show();
             other.activateWindow();
             ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &other; }));
             t.key(Ctrl, false);  // the release goes elsewhere and is not seen
             other.hide();
             t.focusBox();
             t.type({B});
         },
         "keyboard B single"},
        {"a modifier alone", [](InvariantTest& t) { t.focusBox(), t.type({Shift}); }, "keyboard Shift single"},
        {"page switches back and forth",
         [](InvariantTest& t) {
             t.pickKey(0);
             click(t.mouseTab());
             click(t.keyboardTab());
             click(t.mouseTab());
             clickRadio(t.radio("mouseRepeatRadio"));
             clickRadio(t.radio("rightButtonRadio"));
         },
         "mouse 02 repeat"},
        {"a repeating mouse key turned into a keyboard key and back",
         [](InvariantTest& t) {
             t.pickKey(1);
             click(t.keyboardTab());
             t.pickKey(0);
             t.pickKey(1);
             click(t.mouseTab());
             t.pickKey(0);
         },
         "keyboard A+Alt+Ctrl single"},
        {"triggers on both pages",
         [](InvariantTest& t) {
             t.pickKey(0);
             clickRadio(t.radio("keyboardRepeatRadio"));
             t.pickKey(3);
             clickRadio(t.radio("mouseRepeatRadio"));
             t.pickKey(2);
             clickRadio(t.radio("keyboardSingleRadio"));
         },
         "keyboard A+Alt+Ctrl repeat"},
        {"another key is picked while Ctrl is held",
         [](InvariantTest& t) {
             t.pickKey(0);
             t.focusBox();
             t.key(Ctrl, true);
             t.pickKey(2);
             t.type({A});
             t.key(Ctrl, false);
         },
         "keyboard A+Alt+Ctrl single"},
        {"a key file loaded over a capture in progress",
         [](InvariantTest& t) {
             t.pickKey(2);
             t.focusBox();
             t.key(Ctrl, true);
             t.loadFile("{\"format\": \"tavrel-keys\", \"version\": 1, \"keys\": [\n"
                        "{\"key\": 1, \"assignment\": \"mouse:right\", \"trigger\": \"repeat\"},\n"
                        "{\"key\": 3, \"assignment\": \"Shift+B\"},\n"
                        "{\"key\": 4, \"record\": \"00 3B 00 00 02\"}]}\n");
             t.pickKey(2);
             t.focusBox();
             t.type({A});
             t.key(Ctrl, false);
         },
         "mouse 02 repeat"},
        {"a read after a capture",
         [](InvariantTest& t) {
             t.focusBox();
             t.type({Ctrl, B});
             t.read();
         },
         "keyboard A+Alt+Ctrl single"},
    };

    auto& device = plug("inv-a", "320000000001");
    start();
    for (const Sequence& s : sequences) {
        SCOPED_TRACE(s.name);
        for (int k = 0; k < 6; ++k)
            device.setRecord(k, stored[k]);
        ASSERT_NO_FATAL_FAILURE(read());
        // A read leaves the key the user chose; each sequence starts on key 1.
        pickKey(0);
        ASSERT_NO_FATAL_FAILURE(s.play(*this));
        if (HasFatalFailure())
            return;
        captureBox()->clearFocus();
        EXPECT_EQ(fromRecord(heldRecord(*form->editor(), 0)), QString::fromUtf8(s.key1));
        expectShownIsHeld("before the write");
        expectWriteSendsHeld(device);
        expectShownIsHeld("after the write");
    }
}

TEST_F(InvariantTest, AHalfPressedCombinationDoesNotFollowTheUserToAnotherDevice)
{
    auto& first = plug("inv-first", "320000000001");
    auto& second = plug("inv-second", "320000000002");
    for (int k = 0; k < 6; ++k) {
        first.setRecord(k, {0x01, quint8(0x04 + k), 0, 0, 0});
        second.setRecord(k, {0x02, quint8(0x04 + k), 0, 0, 0});
    }
    start();
    waitForRead(6);
    focusBox();
    key(Ctrl, true);
    click(deviceButton(1));
    ASSERT_TRUE(waitFor([&] {
        return !form->editor()->busy() && form->editor()->shownRecord(0)
               && form->editor()->shownRecord(0)->text == "Shift+A";
    }));
    focusBox();
    type({B});
    key(Ctrl, false);
    captureBox()->clearFocus();
    EXPECT_EQ(fromRecord(heldRecord(*form->editor(), 0)), "keyboard B single");
    expectShownIsHeld("on the second device");
    expectWriteSendsHeld(second);
    EXPECT_EQ(first.record(0), (std::array<quint8, 5>{0x01, 0x04, 0, 0, 0}));
}
