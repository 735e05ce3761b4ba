// The windows in the desktop's language: an English locale gives English texts on the main
// window, the failed-write popup and the pairing window, a Chinese one keeps the texts as they
// are written, and in both no text is cut.
#include "common/textfit.h"
#include "windowfixture.h"

#include "config/devicenotice.h"
#include "i18n/language.h"
#include "platform/privatefile.h"
#include "platform/sharedfolder.h"
#include "ui/errorbox.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/toolbarband.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

using namespace tavrel;
using namespace tavrel::test;

namespace {

// What one language shows, where the two differ.
struct Texts {
    const char* locale;
    QString serial;
    QString keyboardTab, mouseTab, read, write, pairing, wired, wireless;
    QString trigger, singlePress, repeat, mouseButton, left, right, wheel;
    QString key3;
    QString failed;
    QString pairingTitle, bind, clear;
    QStringList instructions;
    QString bound, done;
    QString ok;  // Qt's own text, from Qt's translation
    // The status box's line for key 2 with an edit not written, after another program wrote it.
    QString changedElsewhere;
};

void PrintTo(const Texts& texts, std::ostream* out)
{
    *out << texts.locale;
}

Texts english()
{
    return {"en_US.UTF-8",
            QStringLiteral("Serial: 310000000021  "),
            QStringLiteral("Keyboard key"),
            QStringLiteral("Mouse key"),
            QStringLiteral("Read"),
            QStringLiteral("Write"),
            QStringLiteral("Wireless pairing"),
            QStringLiteral("USB device"),
            QStringLiteral("Wireless"),
            QStringLiteral("Trigger"),
            QStringLiteral("Single press"),
            QStringLiteral("Repeat while held"),
            QStringLiteral("Mouse button"),
            QStringLiteral("Left button"),
            QStringLiteral("Right button"),
            QStringLiteral("Wheel button"),
            QStringLiteral("Key 3"),
            QStringLiteral("Settings not saved. 6 keys were not written: 1, 2, 3, 4, 5, 6."),
            QStringLiteral("Transmitter pairing"),
            QStringLiteral("Bind transmitter"),
            QStringLiteral("Clear all bindings"),
            {QStringLiteral("1. Each receiver can bind up to 4 transmitters."), QString(),
             QStringLiteral("2. Binding more than 4 transmitters drops the one bound first."), QString(),
             QStringLiteral("3. \"Clear all bindings\" unbinds every transmitter."), QString(),
             QStringLiteral("4. A bound receiver obeys only its transmitters, at most 4.")},
            QStringLiteral("Transmitter bound: 5A 00 00 01 A5 (00 )"),
            QStringLiteral("Binding complete."),
            QStringLiteral("OK"),
            QStringLiteral("Key 2 set elsewhere")};
}

Texts chinese()
{
    return {"zh_CN.UTF-8",
            QStringLiteral("序列号:310000000021  "),
            QStringLiteral("模拟键盘按键"),
            QStringLiteral("模拟鼠标按键"),
            QStringLiteral("读取"),
            QStringLiteral("写入"),
            QStringLiteral("无线开关配对"),
            QStringLiteral("USB按键"),
            QStringLiteral("无线按键"),
            QStringLiteral("触发方式"),
            QStringLiteral("单次按下"),
            QStringLiteral("连续按键"),
            QStringLiteral("模拟按键"),
            QStringLiteral("鼠标左键"),
            QStringLiteral("鼠标右键"),
            QStringLiteral("滚轮按键"),
            QStringLiteral("设置按键:3"),
            QStringLiteral("设置失败！6个按键未写入：1、2、3、4、5、6。"),
            QStringLiteral("发射器绑定操作"),
            QStringLiteral("绑定发射器"),
            QStringLiteral("解除所有绑定"),
            {QStringLiteral("1.每个接收器最多可绑定4个发射器。"), QString(),
             QStringLiteral("2.当绑定的发射器超过4个，将会挤走最先绑定的发射器。"), QString(),
             QStringLiteral("3.可以\"解除所有绑定\"，删除接收器中绑定的全部发射器。"), QString(),
             QStringLiteral("4.经过绑定的接收器，只能被绑定过的发射器遥控。最多4个。")},
            QStringLiteral("加入绑定发射器：5A 00 00 01 A5 (00 )"),
            QStringLiteral("绑定完成！"),
            QStringLiteral("确定"),
            QStringLiteral("按键2已被他处改写")};
}

// Starts the program's windows as main does under the given locale: the language comes from the
// environment and its translation is installed before any window exists.
class LanguageTest : public LocaleWindowTest, public ::testing::WithParamInterface<Texts> {
protected:
    void SetUp() override { useLocale(GetParam().locale, true); }

    template <class W>
    W* child(QWidget* window, const char* name)
    {
        W* w = window->findChild<W*>(QLatin1String(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
};

}  // namespace

TEST_P(LanguageTest, WindowsSpeakTheLanguageOfTheLocaleAndShowEveryTextWhole)
{
    const Texts& t = GetParam();
    auto& wired = plug(QStringLiteral("lang-wired-") + QLatin1String(t.locale, 2), "310000000021");
    wired.setRecord(1, {0x01, 0, 0, 0, 0x01});  // key 2: the left mouse button
    auto& receiver = plug(QStringLiteral("lang-rx-") + QLatin1String(t.locale, 2), "311400000022", 6, true);
    receiver.setPairDelayMs(0);
    start();
    waitForRead(6);

    // The main window with the wired device and its keyboard page.
    EXPECT_EQ(statusMemo()->toPlainText(), t.serial);
    EXPECT_EQ(keyboardTab()->text(), t.keyboardTab);
    EXPECT_EQ(mouseTab()->text(), t.mouseTab);
    EXPECT_EQ(readButton()->text(), t.read);
    EXPECT_EQ(writeButton()->text(), t.write);
    EXPECT_EQ(pairingButton()->text(), t.pairing);
    EXPECT_EQ(child<QToolButton>(toolBar(), "deviceButton0")->text(), t.wired);
    EXPECT_EQ(child<QToolButton>(toolBar(), "deviceButton1")->text(), t.wireless);
    EXPECT_EQ(qobject_cast<QGroupBox*>(mainChild<QGroupBox>("keyboardTriggerBox"))->title(), t.trigger);
    EXPECT_EQ(radio("keyboardSingleRadio")->text(), t.singlePress);
    EXPECT_EQ(radio("keyboardRepeatRadio")->text(), t.repeat);
    EXPECT_EQ(mainChild<ui::GradientText>("titleText")->text(), QStringLiteral("Tavrel"));
    EXPECT_EQ(captureBox()->text(), QString());
    EXPECT_EQ(cutTextsOf(form.get()), "");
    for (const QWidget* area :
         std::initializer_list<const QWidget*>{toolBar(), mainChild("keyboardPage"), mainChild("mousePage")})
        EXPECT_EQ(overlappingControls(area).join(QStringLiteral(", ")).toStdString(), "")
            << area->objectName().toStdString();

    // Key 2's mouse page.
    keyPicker()->setCurrentIndex(1);
    keyPicker()->keyClicked();
    ASSERT_EQ(pageStack()->currentIndex(), 1);
    EXPECT_EQ(qobject_cast<QGroupBox*>(mainChild<QGroupBox>("mouseButtonBox"))->title(), t.mouseButton);
    EXPECT_EQ(qobject_cast<QGroupBox*>(mainChild<QGroupBox>("mouseTriggerBox"))->title(), t.trigger);
    EXPECT_EQ(radio("leftButtonRadio")->text(), t.left);
    EXPECT_EQ(radio("rightButtonRadio")->text(), t.right);
    EXPECT_EQ(radio("middleButtonRadio")->text(), t.wheel);
    EXPECT_EQ(radio("mouseSingleRadio")->text(), t.singlePress);
    EXPECT_EQ(radio("mouseRepeatRadio")->text(), t.repeat);
    EXPECT_EQ(cutTextsOf(form.get()), "");

    // Key 2 edited and not written when another program writes it: the status box says so, whole.
    radio("rightButtonRadio")->click();
    const DeviceIdentity& identity = form->editor()->selected()->identity();
    DeviceNotice notice{identity.syspath, QStringLiteral("1-0000000000000000:1"), {}};
    notice.keys[1] = DeviceNotice::Key{KeyRecord{0x01, 0x04, 0, 0, 0x00}, true};
    const auto folder = platform::sharedFolder();
    ASSERT_TRUE(folder);
    ASSERT_TRUE(
        platform::writePrivateFile(
            QFile::encodeName(folder.path + QLatin1Char('/') + identity.id() + QStringLiteral(".notice")).toStdString(),
            encodeNotice(notice))
            .ok());
    ASSERT_TRUE(waitFor([&] { return statusMemo()->toPlainText().endsWith(QLatin1Char('\n') + t.changedElsewhere); }));
    EXPECT_EQ(cutTextsOf(form.get()), "");
    keyPicker()->setCurrentIndex(2);
    keyPicker()->keyClicked();
    EXPECT_EQ(mainChild<ui::GradientText>("keyCaption")->text(), t.key3);

    // A write the device refuses: the popup says which keys failed, all of it, with the failure icon.
    const int opens = wired.opens();
    wired.setFailWrites(true);
    click(writeButton());
    ASSERT_TRUE(waitFor([&] { return popup()->isOpen(); }));
    EXPECT_EQ(popup()->text(), t.failed);
    EXPECT_EQ(ui::shownPicture(popup()->icon()), QStringLiteral("PopupFailIcon"));
    EXPECT_TRUE(showsWholeText(popup()->label()));
    EXPECT_EQ(cutTextsOf(form.get()), "");
    popup()->okButton()->click();
    wired.setFailWrites(false);
    // The refusal (EIO) shut the node until a scan found the device still there.
    ASSERT_TRUE(waitFor([&] { return wired.opens() > opens; }));
    click(writeButton());
    ASSERT_TRUE(waitFor([&] { return popup()->isOpen(); }));
    EXPECT_EQ(ui::shownPicture(popup()->icon()), QStringLiteral("PopupIcon"));
    popup()->okButton()->click();

    // The pairing window of the receiver, before and after a binding.
    click(deviceButton(1));
    waitForRead(6);
    EXPECT_EQ(cutTextsOf(form.get()), "");
    click(pairingButton());
    ASSERT_TRUE(waitFor([&] { return pairing->isVisible(); }));
    EXPECT_EQ(child<QLabel>(pairing.get(), "title")->text(), t.pairingTitle);
    EXPECT_EQ(bindButton()->text(), t.bind);
    EXPECT_EQ(clearBindingsButton()->text(), t.clear);
    EXPECT_EQ(pairingLines(), t.instructions);
    EXPECT_EQ(cutTextsOf(pairing.get()), "");
    for (const QWidget* area : std::initializer_list<const QWidget*>{child<QWidget>(pairing.get(), "root"),
                                                                     child<QWidget>(pairing.get(), "header")})
        EXPECT_EQ(overlappingControls(area).join(QStringLiteral(", ")).toStdString(), "")
            << area->objectName().toStdString();
    click(bindButton());
    ASSERT_TRUE(waitFor([&] { return pairingLines().size() == 3; }));
    EXPECT_EQ(pairingLines().mid(1), QStringList({t.bound, t.done}));
    EXPECT_EQ(cutTextsOf(pairing.get()), "");

    // Every other line it writes: the bindings cleared, the time-out, and the requests that a
    // receiver taking no reports never got.
    click(clearBindingsButton());
    ASSERT_TRUE(waitFor([&] { return pairingLines().size() == 4; }));
    EXPECT_EQ(cutTextsOf(pairing.get()), "");
    receiver.setPairDelayMs(-1);
    click(bindButton());
    // The receiver's countdown runs its ten seconds to the time-out line.
    ASSERT_TRUE(waitFor([&] { return bindButton()->isEnabled(); }, 3 * BindSeconds * 1000));
    EXPECT_EQ(cutTextsOf(pairing.get()), "");
    receiver.setFailWrites(true);
    click(bindButton());
    ASSERT_TRUE(waitFor([&] { return bindButton()->isEnabled(); }));
    click(clearBindingsButton());
    ASSERT_TRUE(waitFor([&] { return pairingLines().size() == 2; }));
    EXPECT_EQ(cutTextsOf(pairing.get()), "");
    receiver.setFailWrites(false);

    // Qt's own texts: the error box's button.
    showErrorBox(t.read);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("ErrorBox") && w->isVisible())
                box = qobject_cast<QMessageBox*>(w);
        return box != nullptr;
    }));
    EXPECT_EQ(box->button(QMessageBox::Ok)->text(), t.ok);
    box->accept();
}

// With no device found, the free space below the tool bar says what to do: plug one in, and if one
// is in but not found, the access rule and tavrelctl's list. It goes once a device is found, and
// comes back when the last one is unplugged.
TEST_P(LanguageTest, WithoutADeviceTheWindowSaysWhatToDo)
{
    const bool english = QLatin1String(GetParam().locale).startsWith(QLatin1String("en"));
    start();
    auto* help = mainChild<QLabel>("emptyHelp");
    ASSERT_TRUE(help);
    // Once the first scan has found nothing.
    ASSERT_TRUE(waitFor([&] { return form->session()->scanned() && help->isVisible(); }));
    EXPECT_TRUE(keyPicker()->isHidden());
    EXPECT_TRUE(pages()->isHidden());
    const QString text = help->text();
    EXPECT_TRUE(text.startsWith(english ? QStringLiteral("No USB device found.") : QStringLiteral("没有发现USB按键。")))
        << text.toStdString();
    for (const char* step : {"scripts/install-udev-rule.sh", "tavrelctl list"})
        EXPECT_TRUE(text.contains(QLatin1String(step))) << step;
    EXPECT_TRUE(text.contains(english ? QStringLiteral("Plug in") : QStringLiteral("请插入"))) << text.toStdString();
    EXPECT_TRUE(showsWholeText(help)) << text.toStdString();
    EXPECT_EQ(cutTextsOf(form.get()), "");
    // Left of the round buttons, below the tool bar, above the progress bar.
    const QRect area = help->geometry();
    EXPECT_LT(area.right(), readButton()->geometry().left());
    EXPECT_GT(area.top(), toolBar()->geometry().bottom());

    auto& device = plug(QStringLiteral("empty-") + QLatin1String(GetParam().locale, 2), "310000000031");
    ASSERT_TRUE(waitFor([&] { return !help->isVisible() && pages()->isVisible(); }));
    testbed().unplug(device);
    ASSERT_TRUE(waitFor([&] { return help->isVisible() && pages()->isHidden() && keyPicker()->isHidden(); }));
}

INSTANTIATE_TEST_SUITE_P(Locales, LanguageTest, ::testing::Values(english(), chinese()),
                         [](const ::testing::TestParamInfo<Texts>& info) {
                             return std::string(info.param.locale).substr(0, 2);
                         });
