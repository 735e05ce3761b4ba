// The mode editor driven through its widgets: which page shows the selected key, and what the
// tabs and the radio buttons store into its record.
#include "windowfixture.h"

#include "ui/widgets/gradienttext.h"
#include "ui/widgets/groupradiobutton.h"
#include "ui/widgets/pictureview.h"
#include "ui/widgets/tabcontrol.h"
#include "ui/widgets/tabitem.h"

#include <QApplication>
#include <QLineEdit>

using namespace tavrel;
using namespace tavrel::test;

namespace {

using Radio = ui::GroupRadioButton* TMainForm::*;
using Tab = ui::TabItem* TMainForm::*;

constexpr Radio kRadios[] = {&TMainForm::RadioButton1, &TMainForm::RadioButton2, &TMainForm::RadioButton3,
                             &TMainForm::RadioButton4, &TMainForm::RadioButton5, &TMainForm::RadioButton6,
                             &TMainForm::RadioButton7};

// Eight keys covering both kinds, both triggers, the three mouse buttons and two odd modes.
const std::array<quint8, 5> kRecords[8] = {
    {0x05, 0x04, 0, 0, 0x00},  // key 1: Ctrl+Alt+A, single press
    {0x02, 0x00, 0, 0, 0x03},  // key 2: right button, repeat
    {0x03, 0x04, 0, 0, 0x02},  // key 3: Ctrl+Shift+A, repeat
    {0x04, 0x00, 0, 0, 0x01},  // key 4: wheel button, single press
    {0x01, 0x00, 0, 0, 0x04},  // key 5: Mode "04"
    {0x01, 0x00, 0, 0, 0x01},  // key 6: left button, single press
    {0x02, 0x00, 0, 0, 0x07},  // key 7: a mode this program does not know, kept as the key sent it
    {0x00, 0x00, 0, 0, 0x00},
};

class ModeEditorTest : public WindowTest {
protected:
    // A wired key with the mouse page, holding kRecords, read and shown.
    void startWithKeys(const QString& name)
    {
        auto& key = plug(name, "320000000001", 8);
        for (int k = 0; k < 8; ++k)
            key.setRecord(k, kRecords[k]);
        start();
        waitForRead(8);
        ASSERT_TRUE(waitFor([&] { return record(5) == "01 00 00 00 01" && record(6) == "02 00 00 00 07"; }));
        ASSERT_FALSE(form->TabItem2->isHidden());
    }

    void pickKey(int k) { click(form->HorzImageListBox1->item(k)); }
    void clickTab(Tab tab) { click(form.get()->*tab); }
    void clickRadio(Radio radio) { tavrel::test::clickRadio(form.get()->*radio); }
    QString record(int k) { return heldText(*form->session(), k); }
    QStringList records()
    {
        QStringList all;
        for (int k = 0; k < KeySlots; ++k)
            all << record(k);
        return all;
    }
    bool unsent(int k) { return form->session()->selected()->assignments().unsent(k); }
    bool anyUnsent() { return form->session()->selected()->assignments().anyUnsent(); }

    // The numbers of the checked radio buttons: "257" for RadioButton2, 5 and 7.
    QString checkedRadios()
    {
        QString out;
        for (int i = 0; i < 7; ++i)
            if ((form.get()->*kRadios[i])->isChecked())
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
        {1, 1, "257", "BMP3", "设置按键:3", "Ctrl+Shift+A"},
        {4, 1, "17", "BMP2", "设置按键:3", "Ctrl+Shift+A"},  // Mode "04": neither trigger
        {3, 1, "347", "BMP4", "设置按键:3", "Ctrl+Shift+A"},
        {6, 1, "27", "BMP3", "设置按键:3", "Ctrl+Shift+A"},  // Mode "07": neither trigger
        {0, 0, "26", "BMP3", "设置按键:1", "Ctrl+Alt+A"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "key " << step.key + 1);
        form->TextBox1->clearFocus();
        pickKey(step.key);
        EXPECT_EQ(form->HorzImageListBox1->itemIndex(), step.key);
        EXPECT_EQ(form->TabControl1->itemIndex(), step.page);
        EXPECT_EQ(form->Layout2->isHidden(), step.page != 0);
        EXPECT_EQ(form->Layout3->isHidden(), step.page != 1);
        EXPECT_EQ(checkedRadios(), QLatin1String(step.checked));
        if (step.picture) {
            EXPECT_EQ(form->Image3->picture(), QLatin1String(step.picture));
        }
        EXPECT_EQ(form->Text3->text(), QString::fromUtf8(step.heading));
        EXPECT_EQ(form->TextBox1->text(), QString::fromUtf8(step.box));
        // A keyboard key gets the capture box ready for typing; a mouse key leaves the focus.
        EXPECT_EQ(form->focusWidget() == form->TextBox1, step.page == 0);
    }
    EXPECT_EQ(records(), before);
    EXPECT_FALSE(anyUnsent());
}

TEST_F(ModeEditorTest, TheOtherTabTurnsAKeyIntoTheOtherKind)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-switch"));

    // Keyboard to mouse: a left-button single-press key.
    pickKey(0);
    clickTab(&TMainForm::TabItem2);
    EXPECT_EQ(record(0), "01 00 00 00 01");
    EXPECT_TRUE(form->RadioButton1->isChecked());
    EXPECT_EQ(form->Image3->picture(), QStringLiteral("BMP2"));
    EXPECT_EQ(form->TabControl1->itemIndex(), 1);
    EXPECT_TRUE(unsent(0));

    // Mouse to keyboard: an empty keyboard key and an empty capture box.
    pickKey(1);
    clickTab(&TMainForm::TabItem1);
    EXPECT_EQ(record(1), "00 00 00 00 00");
    EXPECT_EQ(form->TextBox1->text(), QString());
    EXPECT_EQ(form->TabControl1->itemIndex(), 0);
    EXPECT_TRUE(unsent(1));

    // The old combination does not come back with the key: nothing stands behind it.
    pickKey(5);
    pickKey(1);
    EXPECT_EQ(form->TextBox1->text(), QString());
    EXPECT_EQ(form->session()->shownRecord(1)->text, QString());
    EXPECT_EQ(record(1), "00 00 00 00 00");

    // A key of a mode this program does not know is shown on the mouse page; the keyboard tab
    // makes it an empty keyboard key too, so that the page and the record agree.
    for (int k : {4, 6}) {
        pickKey(k);
        ASSERT_EQ(form->TabControl1->itemIndex(), 1);
        clickTab(&TMainForm::TabItem1);
        EXPECT_EQ(record(k), "00 00 00 00 00") << k;
        EXPECT_EQ(form->TabControl1->itemIndex(), 0) << k;
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
        {0, &TMainForm::TabItem1}, {2, &TMainForm::TabItem1}, {1, &TMainForm::TabItem2}, {3, &TMainForm::TabItem2},
        {4, &TMainForm::TabItem2}, {6, &TMainForm::TabItem2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key + 1 << ", tab " << (c.tab == &TMainForm::TabItem1 ? 1 : 2));
        pickKey(c.key);
        const QStringList before = records();
        const QString box = form->TextBox1->text();
        const QString picture = form->Image3->picture();
        clickTab(c.tab);
        EXPECT_EQ(records(), before);
        EXPECT_FALSE(anyUnsent());
        EXPECT_EQ(form->TextBox1->text(), box);
        EXPECT_EQ(form->Image3->picture(), picture);
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
        {5, &TMainForm::RadioButton3, "04 00 00 00 01", "BMP4"},  // 滚轮按键
        {5, &TMainForm::RadioButton5, "04 00 00 00 03", nullptr}, // 连续按键
        {5, &TMainForm::RadioButton4, "04 00 00 00 01", nullptr}, // 单次按下
        {5, &TMainForm::RadioButton2, "02 00 00 00 01", "BMP3"},  // 鼠标右键
        {5, &TMainForm::RadioButton1, "01 00 00 00 01", "BMP2"},  // 鼠标左键
        {0, &TMainForm::RadioButton7, "05 04 00 00 02", nullptr}, // keyboard 连续按键
        {0, &TMainForm::RadioButton6, "05 04 00 00 00", nullptr}, // keyboard 单次按下
    };
    for (const auto& c : clicks) {
        auto* radio = form.get()->*c.radio;
        SCOPED_TRACE(testing::Message() << "key " << c.key + 1 << ", " << radio->text().toStdString());
        if (form->HorzImageListBox1->itemIndex() != c.key)
            pickKey(c.key);
        const QString picture = form->Image3->picture();
        clickRadio(c.radio);
        EXPECT_TRUE(radio->isChecked());
        EXPECT_EQ(record(c.key), QLatin1String(c.record));
        EXPECT_EQ(form->Image3->picture(), c.picture ? QString::fromLatin1(c.picture) : picture);
        EXPECT_TRUE(unsent(c.key));
    }
}

TEST_F(ModeEditorTest, TheMouseTabShowsTheTriggerTheNewRecordHolds)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-stale"));
    pickKey(1);  // a repeating mouse key checks 连续按键
    pickKey(0);
    clickTab(&TMainForm::TabItem2);
    EXPECT_EQ(record(0), "01 00 00 00 01");
    EXPECT_TRUE(form->RadioButton4->isChecked());
    EXPECT_FALSE(form->RadioButton5->isChecked());
    EXPECT_TRUE(form->RadioButton1->isChecked());

    clickRadio(&TMainForm::RadioButton5);
    EXPECT_EQ(record(0), "01 00 00 00 03");
    clickRadio(&TMainForm::RadioButton4);
    EXPECT_EQ(record(0), "01 00 00 00 01");
}

TEST_F(ModeEditorTest, WithoutASelectedKeyNothingIsShownOrStored)
{
    ASSERT_NO_FATAL_FAILURE(startWithKeys("mode-none"));
    // A ninth item in the picker reaches past the eight keys a key can hold.
    form->HorzImageListBox1->addItem(QStringLiteral("anjianItem8"), QStringLiteral("bitmapobject9"), 110);

    for (int selected : {-1, 8}) {
        SCOPED_TRACE(testing::Message() << "item index " << selected);
        // Leaves every button below unchecked, so that each click raises its change.
        pickKey(5);
        pickKey(0);
        form->HorzImageListBox1->setItemIndex(selected);
        ASSERT_EQ(form->HorzImageListBox1->itemIndex(), selected);
        form->HorzImageListBox1Click();
        EXPECT_EQ(form->session()->selectedKey(), -1);
        const QStringList before = records();

        // No key's record is shown for none.
        form->keymousecheck();
        EXPECT_EQ(form->TabControl1->itemIndex(), 0);
        EXPECT_EQ(form->TextBox1->text(), QString());

        clickTab(&TMainForm::TabItem2);
        clickRadio(&TMainForm::RadioButton3);
        clickRadio(&TMainForm::RadioButton5);
        clickTab(&TMainForm::TabItem1);
        clickRadio(&TMainForm::RadioButton7);
        EXPECT_EQ(records(), before);
        EXPECT_FALSE(anyUnsent());
        EXPECT_EQ(form->TextBox1->text(), QString());
    }
}

}  // namespace
