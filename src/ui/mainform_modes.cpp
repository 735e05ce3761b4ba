// The mode editor: which page shows the selected key, and turning a key between keyboard and
// mouse, picking its mouse button and its trigger.
#include "ui/mainform.h"

#include "ui/errorbox.h"

#include "ui/widgets/gradienttext.h"
#include "ui/widgets/groupradiobutton.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/pictureview.h"
#include "ui/widgets/tabcontrol.h"
#include "ui/widgets/tabitem.h"

#include <QLineEdit>

namespace tavrel {

namespace {
bool isKeyboardMode(const QString& mode)
{
    return mode == QLatin1String("00") || mode == QLatin1String("02");
}
}  // namespace

int TMainForm::selectedKey() const
{
    const int s = HorzImageListBox1->itemIndex();
    return KeyTable::validKey(s) ? s : -1;
}

void TMainForm::setField(int s, Field f, const QString& value)
{
    QString& field = m_table.field(s, f);
    if (field == value)
        return;
    field = value;
    m_table.markSet(s);
}

void TMainForm::keymousecheck()
{
    const int s = selectedKey();
    if (s < 0)
        return;
    const QString mode = m_table.field(s, Field::Mode);
    if (!isKeyboardMode(mode)) {
        TabControl1->setItemIndex(1);
        const QString button = m_table.field(s, Field::Modifiers);
        if (button == QLatin1String("01")) {
            RadioButton1->setChecked(true);
            Image3->setPicture(QStringLiteral("BMP2"));
        }
        if (button == QLatin1String("02")) {
            RadioButton2->setChecked(true);
            Image3->setPicture(QStringLiteral("BMP3"));
        }
        if (button == QLatin1String("04")) {
            RadioButton3->setChecked(true);
            Image3->setPicture(QStringLiteral("BMP4"));
        }
        if (mode == QLatin1String("01"))
            RadioButton4->setChecked(true);
        if (mode == QLatin1String("03"))
            RadioButton5->setChecked(true);
        return;
    }
    TabControl1->setItemIndex(0);
    Text3->setText(QStringLiteral("设置按键:%1").arg(s + 1));
    TextBox1->setText(m_table.KeyText[s]);
    if (mode == QLatin1String("00"))
        RadioButton6->setChecked(true);
    if (mode == QLatin1String("02"))
        RadioButton7->setChecked(true);
    TextBox1->setFocus();
}

void TMainForm::HorzImageListBox1Click()
{
    keymousecheck();
}

void TMainForm::TabItem1Click()
{
    const int s = selectedKey();
    if (s < 0)
        return;
    const QString mode = m_table.field(s, Field::Mode);
    if (mode != QLatin1String("01") && mode != QLatin1String("03"))
        return;
    for (Field f : {Field::Modifiers, Field::Code1, Field::Code2, Field::Code3, Field::Mode})
        setField(s, f, QStringLiteral("00"));
    TextBox1->clear();
}

void TMainForm::TabItem2Click()
{
    const int s = selectedKey();
    if (s < 0 || !isKeyboardMode(m_table.field(s, Field::Mode)))
        return;
    setField(s, Field::Modifiers, QStringLiteral("01"));
    Image3->setPicture(QStringLiteral("BMP2"));
    RadioButton1->setChecked(true);
    for (Field f : {Field::Code1, Field::Code2, Field::Code3})
        setField(s, f, QStringLiteral("00"));
    setField(s, Field::Mode, QStringLiteral("01"));
}

void TMainForm::mouseButtonChange(ui::GroupRadioButton* button, const char* modifiers)
{
    const int s = selectedKey();
    if (s >= 0 && button->isChecked())
        setField(s, Field::Modifiers, QLatin1String(modifiers));
}

void TMainForm::bit7check()
{
    const int s = selectedKey();
    if (s < 0)
        return;
    QString m;
    if (TabControl1->itemIndex() == 1) {
        if (RadioButton4->isChecked())
            m = QStringLiteral("01");
        if (RadioButton5->isChecked())
            m = QStringLiteral("03");
    } else {
        if (RadioButton6->isChecked())
            m = QStringLiteral("00");
        if (RadioButton7->isChecked())
            m = QStringLiteral("02");
    }
    setField(s, Field::Mode, m);
}

void TMainForm::connectModeEditor()
{
    connect(HorzImageListBox1, &ui::KeyPicker::click, this, [this] { guarded([this] { HorzImageListBox1Click(); }); });
    connect(TabItem1, &ui::TabItem::click, this, [this] { guarded([this] { TabItem1Click(); }); });
    connect(TabItem2, &ui::TabItem::click, this, [this] { guarded([this] { TabItem2Click(); }); });
    const std::pair<ui::GroupRadioButton*, const char*> buttons[] = {
        {RadioButton1, "01"}, {RadioButton2, "02"}, {RadioButton3, "04"}};
    const char* pictures[] = {"BMP2", "BMP3", "BMP4"};
    for (int i = 0; i < 3; ++i) {
        auto [button, modifiers] = buttons[i];
        const QString picture = QLatin1String(pictures[i]);
        connect(button, &ui::GroupRadioButton::click, this, [this, picture] { Image3->setPicture(picture); });
        connect(button, &ui::GroupRadioButton::change, this,
                [this, button, modifiers] { guarded([&] { mouseButtonChange(button, modifiers); }); });
    }
    for (ui::GroupRadioButton* trigger : {RadioButton4, RadioButton5, RadioButton6, RadioButton7})
        connect(trigger, &ui::GroupRadioButton::change, this, [this] { guarded([this] { bit7check(); }); });
}

}  // namespace tavrel
