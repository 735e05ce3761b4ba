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
    // else: a write sends exactly what is shown. A key that holds no record (none selected, or
    // one whose key has not answered) shows an empty keyboard page, never another key's record.
    const int s = selectedKey();
    const QScopedValueRollback<bool> showing(m_showing, true);
    const auto& stored = m_session->shownRecord(s);
    if (stored && isMouseMode(stored->record.mode)) {
        const KeyRecord& r = stored->record;
        TabControl1->setItemIndex(1);
        const std::pair<ui::GroupRadioButton*, quint8> buttons[] = {
            {RadioButton1, MouseLeft}, {RadioButton2, MouseRight}, {RadioButton3, MouseMiddle}};
        for (const auto& [radio, code] : buttons)
            showChoice(radio, r.modifiers == code);
        if (r.modifiers == MouseLeft)
            Image3->setPicture(QStringLiteral("BMP2"));
        else if (r.modifiers == MouseRight)
            Image3->setPicture(QStringLiteral("BMP3"));
        else if (r.modifiers == MouseMiddle)
            Image3->setPicture(QStringLiteral("BMP4"));
        else
            Image3->setPicture(QStringLiteral("MouseDefault"));
        showChoice(RadioButton4, r.mode == ModeMouseSingle);
        showChoice(RadioButton5, r.mode == ModeMouseRepeat);
        return;
    }
    TabControl1->setItemIndex(0);
    if (s >= 0)
        Text3->setText(tr("设置按键:%1").arg(s + 1));
    TextBox1->setText(stored ? m_keyLabels.relabel(stored->text) : QString());
    showChoice(RadioButton6, stored && stored->record.mode == ModeKeyboardSingle);
    showChoice(RadioButton7, stored && stored->record.mode == ModeKeyboardRepeat);
}

void TMainForm::keymousecheck()
{
    showKey();
    if (selectedKey() < 0)
        return;
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
