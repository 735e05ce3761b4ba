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
#include <QScopedValueRollback>

namespace tavrel {

namespace {
bool isKeyboardMode(const QString& mode)
{
    return mode == QLatin1String("00") || mode == QLatin1String("02");
}
}  // namespace

int TMainForm::selectedKey() const
{
    return m_session->selectedKey();
}

namespace {

// Checks the button, or unchecks it even where it is the checked one of its group: a record that
// holds none of the choices shows none.
void showChoice(QAbstractButton* button, bool checked)
{
    if (button->isChecked() == checked)
        return;
    if (checked) {
        button->setChecked(true);
        return;
    }
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
}

}  // namespace

void TMainForm::showKey()
{
    // Every control of the page shows what the selected key's record decodes to, and nothing
    // else: a write sends exactly what is shown.
    const int s = selectedKey();
    if (s < 0)
        return;
    const QScopedValueRollback<bool> showing(m_showing, true);
    const KeyTable& table = m_session->table();
    const QString mode = table.field(s, Field::Mode);
    if (!isKeyboardMode(mode)) {
        TabControl1->setItemIndex(1);
        const QString button = table.field(s, Field::Modifiers);
        const std::pair<ui::GroupRadioButton*, const char*> buttons[] = {
            {RadioButton1, "01"}, {RadioButton2, "02"}, {RadioButton3, "04"}};
        for (const auto& [radio, code] : buttons)
            showChoice(radio, button == QLatin1String(code));
        if (button == QLatin1String("01"))
            Image3->setPicture(QStringLiteral("BMP2"));
        else if (button == QLatin1String("02"))
            Image3->setPicture(QStringLiteral("BMP3"));
        else if (button == QLatin1String("04"))
            Image3->setPicture(QStringLiteral("BMP4"));
        else
            Image3->setPicture(QStringLiteral("MouseDefault"));
        showChoice(RadioButton4, mode == QLatin1String("01"));
        showChoice(RadioButton5, mode == QLatin1String("03"));
        return;
    }
    TabControl1->setItemIndex(0);
    Text3->setText(tr("设置按键:%1").arg(s + 1));
    TextBox1->setText(table.KeyText[s]);
    showChoice(RadioButton6, mode == QLatin1String("00"));
    showChoice(RadioButton7, mode == QLatin1String("02"));
}

void TMainForm::keymousecheck()
{
    if (selectedKey() < 0)
        return;
    showKey();
    if (TabControl1->itemIndex() == 0)
        TextBox1->setFocus();
}

void TMainForm::HorzImageListBox1Click()
{
    m_session->selectKey(HorzImageListBox1->itemIndex());
    keymousecheck();
}

void TMainForm::TabItem1Click()
{
    m_session->useKeyboard();
}

void TMainForm::TabItem2Click()
{
    m_session->useMouse();
}

void TMainForm::mouseButtonChange(ui::GroupRadioButton* button, quint8 mouseButton)
{
    if (!m_showing && button->isChecked())
        m_session->setMouseButton(mouseButton);
}

void TMainForm::bit7check()
{
    if (m_showing)
        return;
    if (TabControl1->itemIndex() == 1) {
        if (RadioButton4->isChecked())
            m_session->setRepeat(false);
        if (RadioButton5->isChecked())
            m_session->setRepeat(true);
    } else {
        if (RadioButton6->isChecked())
            m_session->setRepeat(false);
        if (RadioButton7->isChecked())
            m_session->setRepeat(true);
    }
}

void TMainForm::connectModeEditor()
{
    connect(HorzImageListBox1, &ui::KeyPicker::click, this, [this] { guarded([this] { HorzImageListBox1Click(); }); });
    connect(TabItem1, &ui::TabItem::click, this, [this] { guarded([this] { TabItem1Click(); }); });
    connect(TabItem2, &ui::TabItem::click, this, [this] { guarded([this] { TabItem2Click(); }); });
    // A page the user switched to shows the key as its record is: the keyboard page of a key
    // that stayed a mouse key would show a combination the write does not send.
    connect(TabControl1, &ui::TabControl::itemIndexChanged, this, [this] {
        if (!m_showing)
            showKey();
    });
    const std::pair<ui::GroupRadioButton*, quint8> buttons[] = {
        {RadioButton1, 0x01}, {RadioButton2, 0x02}, {RadioButton3, 0x04}};
    for (const auto& [button, code] : buttons) {
        connect(button, &ui::GroupRadioButton::change, this,
                [this, button, code] { guarded([&] { mouseButtonChange(button, code); }); });
    }
    for (ui::GroupRadioButton* trigger : {RadioButton4, RadioButton5, RadioButton6, RadioButton7})
        connect(trigger, &ui::GroupRadioButton::change, this, [this] { guarded([this] { bit7check(); }); });
}

}  // namespace tavrel
