// The main window against a wired device and a wireless receiver: the tool bar, the first read,
// switching keys, the write with its completion popup, a refused write, unplugging, and a start
// without the hook library.

#include "harness.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tavrel::e2e;

namespace {

const QString Wired = QStringLiteral("name=wired,serial=310000000001,keys=6");
const QString Receiver = QStringLiteral("name=receiver,serial=311400000002,keys=4,wireless");

const QString Zeros = QStringLiteral("00 00 00 00 00");

// The key indexes of the read requests in a `received` list; any other report goes to `others`.
QSet<int> readRequests(const QStringList& received, QStringList* others)
{
    QSet<int> keys;
    for (const QString& report : received) {
        const QStringList bytes = report.split(QLatin1Char(' '));
        if (bytes.size() == 8 && bytes[0] == QLatin1String("02") && bytes[1] == QLatin1String("01")
            && bytes.mid(3) == QStringList(5, QStringLiteral("00")))
            keys.insert(bytes[2].toInt(nullptr, 16));
        else
            *others << report;
    }
    return keys;
}

QString memo(const Snapshot& s)
{
    return s.widget(Main, QStringLiteral("statusMemo")).text();
}

}  // namespace

TEST(MainWindow, ListsReadsAndWritesEmulatedDevices)
{
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{Wired, Receiver}, {}}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);

    // One tool bar button per key, the first one selected and read.
    const WidgetState usbButton = s.widget(Main, QStringLiteral("deviceButton0"));
    const WidgetState wirelessButton = s.widget(Main, QStringLiteral("deviceButton1"));
    EXPECT_EQ(usbButton.text(), QStringLiteral("USB按键"));
    EXPECT_EQ(usbButton.value(QStringLiteral("picture")), QStringLiteral("WiredKeySelected"));
    EXPECT_EQ(usbButton.geometry(), QRect(10, 12, 77, 77));
    EXPECT_EQ(wirelessButton.text(), QStringLiteral("无线按键"));
    EXPECT_EQ(wirelessButton.value(QStringLiteral("picture")), QStringLiteral("WirelessKey"));
    EXPECT_EQ(wirelessButton.geometry(), QRect(80, 12, 77, 77));
    EXPECT_FALSE(s.widget(Main, QStringLiteral("deviceButton2")).exists());
    EXPECT_EQ(memo(s), QStringLiteral("序列号:310000000001  "));
    EXPECT_FALSE(s.widget(Main, QStringLiteral("pairingButton")).is(QStringLiteral("visible")));
    EXPECT_TRUE(s.widget(Main, QStringLiteral("pages")).is(QStringLiteral("shown")));
    EXPECT_EQ(s.widget(Main, QStringLiteral("keyPicker")).value(QStringLiteral("index")), QStringLiteral("0"));
    for (int i = 0; i < 6; ++i) {
        const WidgetState item = s.widget(Main, QStringLiteral("keyItem%1").arg(i));
        EXPECT_EQ(item.value(QStringLiteral("picture")), QStringLiteral("key%1").arg(i + 1)) << i;
        EXPECT_EQ(item.is(QStringLiteral("selected")), i == 0) << i;
    }
    EXPECT_FALSE(s.widget(Main, QStringLiteral("keyItem6")).exists());

    // The wired device was asked for its keys 0 to 5 and nothing else; the receiver was left alone.
    QStringList others;
    EXPECT_EQ(readRequests(run.list(QStringLiteral("received wired")), &others), QSet<int>({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(others, QStringList());
    EXPECT_EQ(run.list(QStringLiteral("received receiver")), QStringList());

    // The second button selects and reads the receiver, which has four keys.
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("toolBar"), QStringLiteral("deviceButton1")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return memo(s) == QStringLiteral("序列号:311400000002") && readSettled(s, 4)
                   && s.widget(Main, QStringLiteral("deviceButton1")).value(QStringLiteral("picture"))
                          == QLatin1String("WirelessKeySelected");
        },
        20000, &s))
        << context(s, run);
    EXPECT_EQ(s.widget(Main, QStringLiteral("deviceButton0")).value(QStringLiteral("picture")),
              QStringLiteral("WiredKey"));
    EXPECT_EQ(s.widget(Main, Main).value(QStringLiteral("title")), QStringLiteral("无线按键"));
    EXPECT_TRUE(s.widget(Main, QStringLiteral("pairingButton")).is(QStringLiteral("shown")));
    EXPECT_TRUE(s.widget(Main, QStringLiteral("keyItem0")).is(QStringLiteral("selected")));
    EXPECT_FALSE(s.widget(Main, QStringLiteral("keyItem4")).exists());
    others.clear();
    EXPECT_EQ(readRequests(run.list(QStringLiteral("received receiver")), &others), QSet<int>({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(others, QStringList());

    // Records the receiver already holds, fetched with the read button.
    for (const char* record : {"0 01 04 00 00 00", "1 00 05 00 00 02", "2 02 00 00 00 03", "3 00 3A 00 00 00"})
        ASSERT_TRUE(run.command(QStringLiteral("set receiver ") + QLatin1String(record)));
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("readButton")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return readSettled(s, 4) && s.widget(Main, QStringLiteral("captureBox")).text() == QLatin1String("Ctrl+A");
        },
        20000, &s))
        << context(s, run);

    // Key 2 (B, repeating) changed in the window to a single press.
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("keyPicker"), QStringLiteral("keyItem1")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("keyCaption")).text() == QStringLiteral("设置按键:2")
                   && s.widget(Main, QStringLiteral("captureBox")).text() == QLatin1String("B")
                   && s.widget(Main, QStringLiteral("keyboardRepeatRadio")).is(QStringLiteral("checked"));
        },
        10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.click(s, Main,
                          onRoot({QStringLiteral("pages"), QStringLiteral("pageStack"), QStringLiteral("keyboardPage"),
                                  QStringLiteral("keyboardTriggerBox"), QStringLiteral("keyboardSingleRadio")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("keyboardSingleRadio")).is(QStringLiteral("checked"));
        },
        10000, &s))
        << context(s, run);

    // The write sends the receiver's four keys, nothing to the wired device, and says it is done.
    ASSERT_TRUE(run.command(QStringLiteral("clear-received receiver")));
    ASSERT_TRUE(run.command(QStringLiteral("clear-received wired")));
    Snapshot atPopup;
    EXPECT_EQ(writeAndConfirm(run, &atPopup), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    EXPECT_EQ(atPopup.widget(Main, QStringLiteral("writeProgress")).value(QStringLiteral("value")),
              QStringLiteral("100"));
    EXPECT_EQ(run.list(QStringLiteral("received receiver")),
              QStringList({QStringLiteral("02 02 00 01 04 00 00 00"), QStringLiteral("02 02 01 00 05 00 00 00"),
                           QStringLiteral("02 02 02 02 00 00 00 03"), QStringLiteral("02 02 03 00 3A 00 00 00")}));
    const QStringList written{QStringLiteral("01 04 00 00 00"),
                              QStringLiteral("00 05 00 00 00"),
                              QStringLiteral("02 00 00 00 03"),
                              QStringLiteral("00 3A 00 00 00"),
                              Zeros,
                              Zeros,
                              Zeros,
                              Zeros};
    EXPECT_EQ(run.list(QStringLiteral("store receiver")), written);
    EXPECT_EQ(run.list(QStringLiteral("received wired")), QStringList());

    // A write the device refuses is not reported as done, and the store keeps what it had.
    ASSERT_TRUE(run.command(QStringLiteral("fail-writes receiver on")));
    const std::optional<QString> refused = writeAndConfirm(run, &atPopup);
    ASSERT_TRUE(refused) << context(run.snapshot(), run);
    EXPECT_TRUE(refused->startsWith(QStringLiteral("设置失败！"))) << refused->toStdString();
    EXPECT_EQ(atPopup.widget(Main, QStringLiteral("icon")).value(QStringLiteral("picture")),
              QStringLiteral("PopupFailIcon"));
    ASSERT_TRUE(run.command(QStringLiteral("fail-writes receiver off")));
    EXPECT_EQ(run.list(QStringLiteral("store receiver")), written);

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(MainWindow, ReturnsToItsEmptyStateWhenTheDevicesAreUnplugged)
{
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{Wired, Receiver}, {}}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);

    // The emulator announces a removal a moment before the device leaves sysfs and /dev, as udev
    // may on a busy machine. A scan that falls into that moment must neither fail with "Device
    // cannot be opened" nor keep the gone key and its reader opening the missing node again and
    // again (the emulation aborts after 50 such opens).
    const auto raceSign = [&run](const Snapshot& s) -> std::string {
        for (const MessageBoxState& box : s.messageBoxes())
            if (box.text == QLatin1String("Device cannot be opened."))
                return "the box \"Device cannot be opened.\"";
        if (run.log().contains(QLatin1String("fd_map_add(): overflow")))
            return "the emulation's \"fd_map_add(): overflow\"";
        return {};
    };
    const auto raceHit = [&](const Snapshot& s) { return !raceSign(s).empty(); };

    // One after the other: the window follows each change.
    ASSERT_TRUE(run.command(QStringLiteral("unplug receiver")));
    bool settled = run.waitFor(
        [&](const Snapshot& s) {
            return raceHit(s)
                   || (memo(s) == QStringLiteral("序列号:310000000001  ")
                       && !s.widget(Main, QStringLiteral("deviceButton1")).exists() && readSettled(s, 6));
        },
        20000, &s);
    ASSERT_FALSE(raceHit(s)) << raceSign(s);
    ASSERT_TRUE(settled) << context(s, run);
    EXPECT_TRUE(s.widget(Main, QStringLiteral("keyItem0")).is(QStringLiteral("selected")));
    EXPECT_FALSE(s.widget(Main, QStringLiteral("emptyHelp")).is(QStringLiteral("visible")));

    ASSERT_TRUE(run.command(QStringLiteral("unplug wired")));
    settled = run.waitFor(
        [&](const Snapshot& s) {
            return raceHit(s)
                   || (memo(s) == QStringLiteral("没有发现USB按键!")
                       && !s.widget(Main, QStringLiteral("readButton")).is(QStringLiteral("enabled"))
                       && !s.widget(Main, QStringLiteral("deviceButton0")).exists());
        },
        20000, &s);
    ASSERT_FALSE(raceHit(s)) << raceSign(s);
    ASSERT_TRUE(settled) << context(s, run);
    EXPECT_FALSE(s.widget(Main, QStringLiteral("writeButton")).is(QStringLiteral("enabled")));
    EXPECT_FALSE(s.session().is(QStringLiteral("repolling")));
    EXPECT_FALSE(s.widget(Main, QStringLiteral("pages")).is(QStringLiteral("visible")));
    EXPECT_FALSE(s.widget(Main, QStringLiteral("pairingButton")).is(QStringLiteral("visible")));
    EXPECT_EQ(s.widget(Main, QStringLiteral("keyPicker")).value(QStringLiteral("count")), QStringLiteral("0"));
    EXPECT_TRUE(s.widget(Main, QStringLiteral("emptyHelp")).is(QStringLiteral("shown")));
    EXPECT_EQ(s.session().value(QStringLiteral("devices")), QStringLiteral("0"));
    EXPECT_TRUE(s.messageBoxes().empty()) << s.messageBoxes().front().text.toStdString();

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(MainWindow, RunsWithoutTheHookLibrary)
{
    // The program alone in a folder of its own, without libMorvik.so beside it.
    QTemporaryDir lone;
    ASSERT_TRUE(lone.isValid());
    const QString program = lone.filePath(QStringLiteral("tavrel"));
    ASSERT_TRUE(QFile::copy(binaryFolder() + QStringLiteral("/tavrel"), program));
    ASSERT_FALSE(QFile::exists(lone.filePath(QStringLiteral("libMorvik.so"))));

    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{Wired}, program}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return !s.messageBoxes().empty(); }, 30000, &s)) << context(s, run);
    EXPECT_EQ(s.messageBoxes().front().title, QStringLiteral("Tavrel"));
    EXPECT_EQ(s.messageBoxes().front().text, QStringLiteral("未发现键盘钩子DLL."));

    // The box is a window of its own: give it the keyboard and confirm it.
    const QString pid = QString::number(run.programPid());
    QString box;
    const QString mainGeometry = QStringLiteral("Position: 520,245");
    for (const QString& id :
         run.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), pid,
                      QStringLiteral("--name"), QStringLiteral("^Tavrel$")})
             .split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!run.xdotool({QStringLiteral("getwindowgeometry"), id}).contains(mainGeometry))
            box = id;
    }
    ASSERT_FALSE(box.isEmpty()) << "no window for the message box";
    run.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box, QStringLiteral("key"),
                 QStringLiteral("Return")});

    // The window lists the device, has read it and writes it.
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.messageBoxes().empty() && readSettled(s, 6)
                   && s.widget(Main, QStringLiteral("deviceButton0")).exists()
                   && s.widget(Main, QStringLiteral("pages")).is(QStringLiteral("shown"));
        },
        20000, &s))
        << context(s, run);
    EXPECT_EQ(memo(s), QStringLiteral("序列号:310000000001  "));
    ASSERT_TRUE(run.command(QStringLiteral("clear-received wired")));
    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    EXPECT_EQ(run.list(QStringLiteral("received wired")).size(), 6);

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(MainWindow, SpeaksEnglishUnderAnEnglishLocale)
{
    // The program picks its language from the locale at start; the translation is compiled in.
    ProgramRun run;
    run.setEnvironment({QStringLiteral("LC_ALL="), QStringLiteral("LANG=en_US.UTF-8")});
    QString why;
    ASSERT_TRUE(run.start({{Wired}, {}}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);
    EXPECT_EQ(memo(s), QStringLiteral("Serial: 310000000001  "));
    EXPECT_EQ(s.widget(Main, QStringLiteral("deviceButton0")).text(), QStringLiteral("USB device"));
    EXPECT_EQ(s.widget(Main, QStringLiteral("writeButton")).text(), QStringLiteral("Write"));
    EXPECT_EQ(s.widget(Main, QStringLiteral("keyboardTab")).text(), QStringLiteral("Keyboard key"));

    ASSERT_TRUE(run.command(QStringLiteral("fail-writes wired on")));
    Snapshot atPopup;
    EXPECT_EQ(writeAndConfirm(run, &atPopup),
              QStringLiteral("Settings not saved. 6 keys were not written: 1, 2, 3, 4, 5, 6."))
        << context(run.snapshot(), run);
    EXPECT_EQ(atPopup.widget(Main, QStringLiteral("icon")).value(QStringLiteral("picture")),
              QStringLiteral("PopupFailIcon"));

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}
