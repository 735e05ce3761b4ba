#include "windowfixture.h"

#include "ui/widgets/gradienttext.h"
#include "ui/widgets/keypickeritem.h"
#include "ui/widgets/toolbarband.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

using namespace tavrel;
using namespace tavrel::test;

namespace {

QString records(const emu::EmulatedDevice& device, int count)
{
    QStringList out;
    for (int k = 0; k < count; ++k) {
        QStringList bytes;
        for (quint8 b : device.record(k))
            bytes << hexByte(b);
        out << bytes.join(' ');
    }
    return out.join('|');
}

int readRequests(const emu::EmulatedDevice& device)
{
    int n = 0;
    for (const QByteArray& r : device.received())
        n += r.size() >= 2 && quint8(r[1]) == ReadKeyCommand;
    return n;
}

}  // namespace

TEST_F(WindowTest, WithoutADeviceTheWindowSaysSoAndOffersNothing)
{
    start();
    EXPECT_EQ(statusMemo()->toPlainText(), QStringLiteral("没有发现USB按键!"));
    EXPECT_FALSE(readButton()->isEnabled());
    EXPECT_FALSE(writeButton()->isEnabled());
    EXPECT_TRUE(pages()->isHidden());
    EXPECT_TRUE(pairingButton()->isHidden());
    EXPECT_FALSE(form->editor()->repolling());
    EXPECT_EQ(toolBar()->findChildren<QToolButton*>().size(), 0);
}

TEST_F(WindowTest, DevicesBecomeToolBarButtonsAndTheirSerialsDecideTheFeatures)
{
    plug("cap-wired", "300000000001");
    plug("cap-rx", "021400000001", 6, true);
    plug("cap-c", "312200000001");
    start();

    // Item text position L - 10 is serial character 3: 0 wired, anything else wireless.
    const struct {
        const char* name;
        int x;
        const char* picture;
        const char* caption;
    } buttons[] = {{"deviceButton0", 10, "WiredKeySelected", "USB按键"},
                   {"deviceButton1", 80, "WirelessKey", "无线按键"},
                   {"deviceButton2", 150, "WirelessKey", "无线按键"}};
    for (const auto& b : buttons) {
        auto* button = toolBar()->findChild<QToolButton*>(b.name);
        ASSERT_TRUE(button) << b.name;
        EXPECT_EQ(button->geometry(), QRect(b.x, 12, 77, 77)) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
        EXPECT_EQ(ui::shownPicture(button), QLatin1String(b.picture)) << b.name;
    }
    EXPECT_TRUE(mainChild<ui::GradientText>("titleText")->isVisibleTo(toolBar()));  // three devices: the title stays

    // The first device: wired, characters 1-2 = 30 (trigger groups), 2-3 = 00 (no mouse page after a change).
    EXPECT_EQ(statusMemo()->toPlainText(), QStringLiteral("序列号:300000000001  "));
    EXPECT_EQ(form->editor()->selected()->capabilities().bindCapacity, 0);
    EXPECT_TRUE(mouseTab()->isHidden());
    EXPECT_FALSE(mainChild<QGroupBox>("mouseTriggerBox")->isHidden());
    EXPECT_TRUE(pairingButton()->isHidden());
    EXPECT_EQ(form->editor()->selected()->capabilities().modelDigits, QStringLiteral("30"));

    // The receiver: characters 2-3 = 21 but 1-2 = 02, so the mouse page goes with the groups.
    click(deviceButton(1));
    EXPECT_EQ(form->editor()->selectedIndex(), 1);
    EXPECT_EQ(ui::shownPicture(toolBar()->findChild<QToolButton*>("deviceButton1")),
              QStringLiteral("WirelessKeySelected"));
    EXPECT_EQ(ui::shownPicture(toolBar()->findChild<QToolButton*>("deviceButton0")), QStringLiteral("WiredKey"));
    EXPECT_EQ(statusMemo()->toPlainText(), QStringLiteral("序列号:021400000001"));
    EXPECT_TRUE(mouseTab()->isHidden());
    EXPECT_TRUE(mainChild<QGroupBox>("mouseTriggerBox")->isHidden());
    EXPECT_TRUE(mainChild<QGroupBox>("keyboardTriggerBox")->isHidden());
    EXPECT_FALSE(pairingButton()->isHidden());
    EXPECT_EQ(form->editor()->selected()->capabilities().modelDigits, QStringLiteral("02"));

    // Clicking the selected device's button again sends nothing: the read asked for after it
    // is all the receiver gets.
    auto& rx = *testbed().find("cap-rx");
    ASSERT_TRUE(waitFor([&] { return form->editor()->selected()->readComplete() && !form->editor()->busy(); }));
    const int before = readRequests(rx);
    click(deviceButton(1));
    click(readButton());
    ASSERT_TRUE(waitFor([&] { return !form->editor()->busy(); }));
    EXPECT_EQ(readRequests(rx), before + 6);

    // A fourth device hides the title text; the buttons go on at 70-pixel steps.
    plug("cap-d", "300000000002");
    ASSERT_TRUE(waitFor([&] { return toolBar()->findChild<QToolButton*>("deviceButton3") != nullptr; }));
    EXPECT_EQ(toolBar()->findChild<QToolButton*>("deviceButton3")->geometry().x(), 220);
    EXPECT_FALSE(mainChild<ui::GradientText>("titleText")->isVisibleTo(toolBar()));
    EXPECT_EQ(form->editor()->selectedIndex(), 1);  // a device plugged in leaves the selection alone
    EXPECT_EQ(ui::shownPicture(toolBar()->findChild<QToolButton*>("deviceButton1")),
              QStringLiteral("WirelessKeySelected"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("无线按键"));  // the selected device's kind, not the last one's
}

TEST_F(WindowTest, AnswersRebuildThePickerAndTheWriteStoresTheTable)
{
    auto& device = plug("rw", "300000000001");
    device.setRecord(0, {0x05, 0x04, 0, 0, 0x00});
    device.setRecord(3, {0x00, 0x3A, 0, 0, 0x02});
    device.setRecord(5, {0x02, 0x00, 0, 0, 0x03});
    start();
    waitForRead(6);

    for (int i = 0; i < 6; ++i) {
        auto* item = keyPicker()->findChild<ui::KeyPickerItem*>(QStringLiteral("keyItem%1").arg(i));
        ASSERT_TRUE(item) << i;
        EXPECT_EQ(item->picture(), QStringLiteral("key%1").arg(i + 1));
    }
    EXPECT_EQ(keyPicker()->currentIndex(), 0);
    EXPECT_EQ(form->editor()->shownRecord(0)->text, QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(form->editor()->shownRecord(3)->text, QStringLiteral("F1"));
    EXPECT_EQ(captureBox()->text(), QStringLiteral("Ctrl+Alt+A"));
    EXPECT_FALSE(form->editor()->repolling());  // the re-poll ends with the first answer

    // Answers of a read leave the key the user chose where it is.
    click(keyPicker()->item(5));
    click(readButton());
    ASSERT_TRUE(waitFor([&] { return !form->editor()->busy(); }));
    EXPECT_EQ(keyPicker()->currentIndex(), 5);
    EXPECT_EQ(form->editor()->selectedKey(), 5);

    // The write: every key's record goes to the device; the bar shows 100 / (keys left).
    form->editor()->selected()->setRecord(1, KeyRecord{0x01, 0x1E, 0, 0, 0x02}, RecordOrigin::Loaded);
    std::vector<int> progress;
    QObject::connect(mainChild<QProgressBar>("writeProgress"), &QProgressBar::valueChanged,
                     [&](int v) { progress.push_back(v); });
    EXPECT_EQ(writeAndConfirm(), QStringLiteral("设置完成！"));
    EXPECT_EQ(progress, (std::vector<int>{16, 20, 25, 33, 50, 100, 0}));
    EXPECT_EQ(records(device, 6),
              "05 04 00 00 00|01 1E 00 00 02|00 00 00 00 00|00 3A 00 00 02|00 00 00 00 00|02 00 00 00 03");

    // A write that fails says so.
    device.setFailWrites(true);
    EXPECT_EQ(writeAndConfirm(), QStringLiteral("设置失败！6个按键未写入：1、2、3、4、5、6。"));
    device.setFailWrites(false);
}

TEST_F(WindowTest, EightKeysAreAllReadAndWritten)
{
    auto& device = plug("eight", "300000000001", 8);
    device.setRecord(7, {0x01, 0x05, 0, 0, 0x00});
    start();
    waitForRead(8);
    ASSERT_TRUE(waitFor([&] {
        const auto& r = form->editor()->shownRecord(7);
        return r && r->text == QStringLiteral("Ctrl+B");
    }));
    EXPECT_EQ(writeAndConfirm(), QStringLiteral("设置完成！"));
    EXPECT_EQ(device.record(7), (std::array<quint8, 5>{0x01, 0x05, 0, 0, 0}));
}

TEST_F(WindowTest, AWriteNeverSendsOneDevicesRecordsToAnother)
{
    auto& first = plug("first", "300000000001");
    for (int k = 0; k < 6; ++k)
        first.setRecord(k, {0x01, quint8(0x04 + k), 0, 0, 0});
    auto& second = plug("second", "300000000002");
    second.setDropAnswers(true);  // it never answers its reads
    second.setRecord(2, {0x00, 0x3A, 0, 0, 0x02});
    start();
    waitForRead(6);

    click(deviceButton(1));
    // Its read ran out without an answer.
    ASSERT_TRUE(waitFor([&] { return readRequests(second) > 0 && !form->editor()->busy(); }));
    // Nothing of the first device is shown for the second, and there is nothing to write.
    EXPECT_EQ(keyPicker()->count(), 0);
    EXPECT_TRUE(captureBox()->text().isEmpty());
    EXPECT_FALSE(writeButton()->isEnabled());
    // Whatever the click sent would come before the re-poll's next read.
    const int reads = readRequests(second);
    click(writeButton());
    ASSERT_TRUE(waitFor([&] { return readRequests(second) > reads; }));
    for (const QByteArray& r : second.received())
        EXPECT_NE(quint8(r[1]), WriteKeyCommand);
    EXPECT_EQ(second.record(2), (std::array<quint8, 5>{0x00, 0x3A, 0, 0, 0x02}));  // untouched
}

TEST_F(WindowTest, UnpluggingTheOnlyDeviceReturnsToTheNoDeviceState)
{
    auto& device = plug("gone", "300000000001");
    device.setDropAnswers(true);
    start();
    ASSERT_TRUE(waitFor([&] { return readRequests(device) >= 12; }));  // the re-poll runs
    EXPECT_TRUE(form->editor()->repolling());
    testbed().unplug(device);
    ASSERT_TRUE(waitFor([&] { return statusMemo()->toPlainText() == QStringLiteral("没有发现USB按键!"); }));
    EXPECT_FALSE(form->editor()->repolling());
    EXPECT_FALSE(readButton()->isEnabled());
    EXPECT_FALSE(writeButton()->isEnabled());
    EXPECT_TRUE(pages()->isHidden());
    EXPECT_TRUE(keyPicker()->isHidden());
    EXPECT_EQ(keyPicker()->count(), 0);
    EXPECT_EQ(form->editor()->shownKeys(), 0);
    EXPECT_EQ(toolBar()->findChild<QWidget*>("deviceButton0"), nullptr);
}

TEST_F(WindowTest, ReadAndWriteButtonsAreDisabledWhileOneRuns)
{
    plug("busy", "300000000001");
    start();
    waitForRead(6);
    bool disabledDuring = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        disabledDuring = disabledDuring || (!readButton()->isEnabled() && !writeButton()->isEnabled());
    });
    probe.start(5);
    writeAndConfirm();
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(readButton()->isEnabled());
    EXPECT_TRUE(writeButton()->isEnabled());
}

// Keys are counted from 1, also before the device has answered; every answer of a read, the
// re-poll's or one the user asked for, hands the capture box the focus so that capture is on.
TEST_F(WindowTest, ASilentDeviceIsHeadedKeyOneAndEveryReadsAnswersStartCapture)
{
    auto& device = plug("heading", "300000000001");
    device.setDropAnswers(true);
    start();
    ASSERT_NO_FATAL_FAILURE(activate());
    ASSERT_TRUE(waitFor([&] { return readRequests(device) >= 6; }));
    EXPECT_EQ(mainChild<ui::GradientText>("keyCaption")->text(), QStringLiteral("设置按键:1"));
    const auto read = [&] {
        return waitFor([&] {
            return keyPicker()->count() == 6 && form->editor()->selected()->readComplete() && !form->editor()->busy();
        });
    };

    device.setDropAnswers(false);  // the re-poll's read is answered
    ASSERT_TRUE(read());
    EXPECT_EQ(mainChild<ui::GradientText>("keyCaption")->text(), QStringLiteral("设置按键:1"));
    EXPECT_TRUE(waitFor([&] { return captureBox()->hasFocus() && form->editor()->capturing(); }));

    // The read button takes the focus from the capture box; the answers give it back.
    readButton()->setFocus();
    ASSERT_TRUE(waitFor([&] { return !form->editor()->capturing(); }));
    click(readButton());
    ASSERT_TRUE(waitFor([&] { return form->editor()->busy(); }));
    ASSERT_TRUE(read());
    EXPECT_TRUE(waitFor([&] { return captureBox()->hasFocus() && form->editor()->capturing(); }));
}
