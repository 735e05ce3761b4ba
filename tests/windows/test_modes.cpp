// The mode editor driven through its widgets: which page shows the selected key, and what the
// tabs and the radio buttons store into its record.
#include "windowfixture.h"

#include "ui/widgets/gradienttext.h"
#include "ui/widgets/pictures.h"

#include <QApplication>
#include <QLineEdit>

using namespace tavrel;
using namespace tavrel::test;

namespace {

// Controls by their object names.
using Radio = const char*;
using Tab = const char*;

constexpr Radio Radios[] = {"leftButtonRadio",  "rightButtonRadio",    "middleButtonRadio",  "mouseSingleRadio",
                            "mouseRepeatRadio", "keyboardSingleRadio", "keyboardRepeatRadio"};

// Eight keys covering both kinds, both triggers, the three mouse buttons and two odd modes.
const std::array<quint8, 5> Records[8] = {
    {0x05, 0x04, 0, 0, 0x00},  // key 1: Ctrl+Alt+A, single press
    {0x02, 0x00, 0, 0, 0x03},  // key 2: right button, repeat
    {0x03, 0x04, 0, 0, 0x02},  // key 3: Ctrl+Shift+A, repeat
    {0x04, 0x00, 0, 0, 0x01},  // key 4: wheel button, single press
    {0x01, 0x00, 0, 0, 0x04},  // key 5: Mode "04"
    {0x01, 0x00, 0, 0, 0x01},  // key 6: left button, single press
    {0x02, 0x00, 0, 0, 0x07},  // key 7: a mode this program does not know, kept as the device sent it
    {0x00, 0x00, 0, 0, 0x00},
};

class ModeEditorTest : public WindowTest {
protected:
    // A wired device with the mouse page, holding Records, read and shown.
    void startWithKeys(const QString& name)
    {
        auto& device = plug(name, "320000000001", 8);
        for (int k = 0; k < 8; ++k)
            device.setRecord(k, Records[k]);
        start();
        waitForRead(8);
        ASSERT_TRUE(waitFor([&] { return record(5) == "01 00 00 00 01" && record(6) == "02 00 00 00 07"; }));
        ASSERT_FALSE(mouseTab()->isHidden());
    }

    void pickKey(int k) { click(keyPicker()->item(k)); }
    void clickTab(Tab tab) { click(mainChild(tab)); }
    void clickRadio(Radio name) { tavrel::test::clickRadio(radio(name)); }
    QString record(int k) { return heldText(*form->editor(), k); }
    QStringList records()
    {
        QStringList all;
        for (int k = 0; k < KeySlots; ++k)
            all << record(k);
        return all;
    }
    bool unsent(int k) { return form->editor()->selected()->assignments().unsent(k); }
    bool anyUnsent() { return form->editor()->selected()->assignments().anyUnsent(); }

    // The checked radio buttons by their place in Radios from 1: "257" for the right button,
    // the mouse page's repeat and the keyboard page's repeat.
    QString checkedRadios()
    {
        QString out;
        for (int i = 0; i < 7; ++i)
            if (radio(Radios[i])->isChecked())
                out += QString::number(i + 1);
        return out;
    }
};

TEST_F(ModeEditorTest, ChoosingAKeyShowsItOnItsPageAndLeavesItsRecord)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-show"));
    const QStringList before = records();

    // In the order a user picks them: the shown page's buttons are exactly the key's record;
    // the hidden page keeps what it showed last.
    const struct {
        int key;
        int page;
        const char* checked;
        const char* picture;  // nullptr: the picture is not the key's business
        const char* heading;
        const char* box;
    } steps[] = {
        {2, 0, "47", nullptr, "设置按键:3", "Ctrl+Shift+A"},
        {1, 1, "257", "MouseRight", "设置按键:3", "Ctrl+Shift+A"},
        {4, 1, "17", "MouseLeft", "设置按键:3", "Ctrl+Shift+A"},  // Mode "04": neither trigger
        {3, 1, "347", "MouseWheel", "设置按键:3", "Ctrl+Shift+A"},
        {6, 1, "27", "MouseRight", "设置按键:3", "Ctrl+Shift+A"},  // Mode "07": neither trigger
        {0, 0, "26", "MouseRight", "设置按键:1", "Ctrl+Alt+A"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "key " << step.key + 1);
        captureBox()->clearFocus();
        pickKey(step.key);
        EXPECT_EQ(keyPicker()->currentIndex(), step.key);
        EXPECT_EQ(pageStack()->currentIndex(), step.page);
        EXPECT_EQ(mainChild("keyboardPage")->isHidden(), step.page != 0);
        EXPECT_EQ(mainChild("mousePage")->isHidden(), step.page != 1);
        EXPECT_EQ(checkedRadios(), QLatin1String(step.checked));
        if (step.picture) {
            EXPECT_EQ(ui::shownPicture(mainChild("mousePicture")), QLatin1String(step.picture));
        }
        EXPECT_EQ(mainChild<ui::GradientText>("keyCaption")->text(), QString::fromUtf8(step.heading));
        EXPECT_EQ(captureBox()->text(), QString::fromUtf8(step.box));
        // A keyboard key gets the capture box ready for typing; a mouse key leaves the focus.
        EXPECT_EQ(form->focusWidget() == captureBox(), step.page == 0);
    }
    EXPECT_EQ(records(), before);
    EXPECT_FALSE(anyUnsent());
}

TEST_F(ModeEditorTest, TheOtherTabTurnsAKeyIntoTheOtherKind)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-switch"));

    // Keyboard to mouse: a left-button single-press key.
    pickKey(0);
    clickTab("mouseTab");
    EXPECT_EQ(record(0), "01 00 00 00 01");
    EXPECT_TRUE(radio("leftButtonRadio")->isChecked());
    EXPECT_EQ(ui::shownPicture(mainChild("mousePicture")), QStringLiteral("MouseLeft"));
    EXPECT_EQ(pageStack()->currentIndex(), 1);
    EXPECT_TRUE(unsent(0));

    // Mouse to keyboard: an empty keyboard key and an empty capture box.
    pickKey(1);
    clickTab("keyboardTab");
    EXPECT_EQ(record(1), "00 00 00 00 00");
    EXPECT_EQ(captureBox()->text(), QString());
    EXPECT_EQ(pageStack()->currentIndex(), 0);
    EXPECT_TRUE(unsent(1));

    // The old combination does not come back with the key: nothing stands behind it.
    pickKey(5);
    pickKey(1);
    EXPECT_EQ(captureBox()->text(), QString());
    EXPECT_EQ(form->editor()->shownRecord(1)->text, QString());
    EXPECT_EQ(record(1), "00 00 00 00 00");

    // A key of a mode this program does not know is shown on the mouse page; the keyboard tab
    // makes it an empty keyboard key too, so that the page and the record agree.
    for (int k : {4, 6}) {
        pickKey(k);
        ASSERT_EQ(pageStack()->currentIndex(), 1);
        clickTab("keyboardTab");
        EXPECT_EQ(record(k), "00 00 00 00 00") << k;
        EXPECT_EQ(pageStack()->currentIndex(), 0) << k;
        EXPECT_TRUE(unsent(k)) << k;
    }
}

TEST_F(ModeEditorTest, ATabThatMatchesTheKeyChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-same"));

    // Keys of a mode outside the four are mouse keys to the mouse tab.
    const struct {
        int key;
        Tab tab;
    } cases[] = {
        {0, "keyboardTab"}, {2, "keyboardTab"}, {1, "mouseTab"}, {3, "mouseTab"}, {4, "mouseTab"}, {6, "mouseTab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key + 1 << ", tab "
                                        << (std::string_view(c.tab) == "keyboardTab" ? 1 : 2));
        pickKey(c.key);
        const QStringList before = records();
        const QString box = captureBox()->text();
        const QString picture = ui::shownPicture(mainChild("mousePicture"));
        clickTab(c.tab);
        EXPECT_EQ(records(), before);
        EXPECT_FALSE(anyUnsent());
        EXPECT_EQ(captureBox()->text(), box);
        EXPECT_EQ(ui::shownPicture(mainChild("mousePicture")), picture);
    }
}

TEST_F(ModeEditorTest, RadioButtonsStoreTheButtonAndTheTriggerOfTheShownPage)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-radio"));

    const struct {
        int key;
        Radio radio;
        const char* record;
        const char* picture;  // nullptr: the picture stays
    } clicks[] = {
        {5, "middleButtonRadio", "04 00 00 00 01", "MouseWheel"},  // 滚轮按键
        {5, "mouseRepeatRadio", "04 00 00 00 03", nullptr},        // 连续按键
        {5, "mouseSingleRadio", "04 00 00 00 01", nullptr},        // 单次按下
        {5, "rightButtonRadio", "02 00 00 00 01", "MouseRight"},   // 鼠标右键
        {5, "leftButtonRadio", "01 00 00 00 01", "MouseLeft"},     // 鼠标左键
        {0, "keyboardRepeatRadio", "05 04 00 00 02", nullptr},     // keyboard 连续按键
        {0, "keyboardSingleRadio", "05 04 00 00 00", nullptr},     // keyboard 单次按下
    };
    for (const auto& c : clicks) {
        auto* button = radio(c.radio);
        SCOPED_TRACE(testing::Message() << "key " << c.key + 1 << ", " << button->text().toStdString());
        if (keyPicker()->currentIndex() != c.key)
            pickKey(c.key);
        const QString picture = ui::shownPicture(mainChild("mousePicture"));
        clickRadio(c.radio);
        EXPECT_TRUE(button->isChecked());
        EXPECT_EQ(record(c.key), QLatin1String(c.record));
        EXPECT_EQ(ui::shownPicture(mainChild("mousePicture")), c.picture ? QString::fromLatin1(c.picture) : picture);
        EXPECT_TRUE(unsent(c.key));
    }
}

TEST_F(ModeEditorTest, TheMouseTabShowsTheTriggerTheNewRecordHolds)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-stale"));
    pickKey(1);  // a repeating mouse key checks 连续按键
    pickKey(0);
    clickTab("mouseTab");
    EXPECT_EQ(record(0), "01 00 00 00 01");
    EXPECT_TRUE(radio("mouseSingleRadio")->isChecked());
    EXPECT_FALSE(radio("mouseRepeatRadio")->isChecked());
    EXPECT_TRUE(radio("leftButtonRadio")->isChecked());

    clickRadio("mouseRepeatRadio");
    EXPECT_EQ(record(0), "01 00 00 00 03");
    clickRadio("mouseSingleRadio");
    EXPECT_EQ(record(0), "01 00 00 00 01");
}

TEST_F(ModeEditorTest, WithoutASelectedKeyNothingIsShownOrStored)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-none"));
    // A ninth item in the picker reaches past the eight keys a device can hold.
    keyPicker()->addItem(QStringLiteral("keyItem8"), QStringLiteral("key9"), 110);

    for (int selected : {-1, 8}) {
        SCOPED_TRACE(testing::Message() << "item index " << selected);
        // Leaves every button below unchecked, so that each click raises its change.
        pickKey(5);
        pickKey(0);
        keyPicker()->setCurrentIndex(selected);
        ASSERT_EQ(keyPicker()->currentIndex(), selected);
        keyPicker()->keyClicked();
        EXPECT_EQ(form->editor()->selectedKey(), -1);
        const QStringList before = records();

        // No key's record is shown for none.
        EXPECT_EQ(pageStack()->currentIndex(), 0);
        EXPECT_EQ(captureBox()->text(), QString());

        clickTab("mouseTab");
        clickRadio("middleButtonRadio");
        clickRadio("mouseRepeatRadio");
        clickTab("keyboardTab");
        clickRadio("keyboardRepeatRadio");
        EXPECT_EQ(records(), before);
        EXPECT_FALSE(anyUnsent());
        EXPECT_EQ(captureBox()->text(), QString());
    }
}

}  // namespace
