// The key editor: which page shows the selected key, and turning a key between keyboard and
// mouse, picking its mouse button and its trigger.
#include "ui/mainwindow.h"

#include "ui/widgets/buttongroup.h"

#include "ui/errorbox.h"

#include "ui/widgets/gradienttext.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/pictures.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <algorithm>

namespace tavrel {

int MainWindow::selectedKey() const
{
    return m_editor->selectedKey();
}

void MainWindow::showKey()
{
    // Every control of the page shows what the selected key's record decodes to, and nothing
    // else: a write sends exactly what is shown. A key that holds no record (none selected, or
    // one whose device has not answered) shows an empty keyboard page, never another key's record.
    const int s = selectedKey();
    const QScopedValueRollback<bool> showing(m_showing, true);
    const auto& stored = m_editor->shownRecord(s);
    if (stored && isMouseMode(stored->record.mode)) {
        const KeyRecord& r = stored->record;
        showPage(1);
        // The group's ids are the button bits.
        ui::checkOnly(m_mouseButtons, r.modifiers);
        if (r.modifiers == MouseLeft)
            ui::showPicture(m_mousePicture, QStringLiteral("MouseLeft"));
        else if (r.modifiers == MouseRight)
            ui::showPicture(m_mousePicture, QStringLiteral("MouseRight"));
        else if (r.modifiers == MouseMiddle)
            ui::showPicture(m_mousePicture, QStringLiteral("MouseWheel"));
        else
            ui::showPicture(m_mousePicture, QStringLiteral("MouseDefault"));
        ui::checkOnly(m_mouseTrigger, r.mode == ModeMouseSingle ? 0 : r.mode == ModeMouseRepeat ? 1 : -1);
        return;
    }
    showPage(0);
    // Keys are counted from 1: before the device has answered, the heading names the first.
    m_keyCaption->setText(tr("设置按键:%1").arg(std::max(s, 0) + 1));
    m_captureBox->setText(stored ? m_keyLabels.relabel(stored->text) : QString());
    const int mode = stored ? stored->record.mode : -1;
    ui::checkOnly(m_keyboardTrigger, mode == ModeKeyboardSingle ? 0 : mode == ModeKeyboardRepeat ? 1 : -1);
}

void MainWindow::showPage(int index)
{
    m_tabs->button(index)->setChecked(true);
    m_pageStack->setCurrentIndex(index);
}

void MainWindow::showSelectedKeyPage()
{
    showKey();
    focusCaptureBox();
}

void MainWindow::focusCaptureBox()
{
    // Focus starts capture; a mouse key's page has no capture box.
    if (selectedKey() >= 0 && m_pageStack->currentIndex() == 0)
        m_captureBox->setFocus();
}

void MainWindow::onKeyPicked()
{
    m_editor->selectKey(m_keyPicker->currentIndex());
    showSelectedKeyPage();
}

void MainWindow::onKeyboardTabClicked()
{
    m_editor->useKeyboard();
}

void MainWindow::onMouseTabClicked()
{
    m_editor->useMouse();
}

void MainWindow::connectKeyEditor()
{
    connect(m_keyPicker, &ui::KeyPicker::keyClicked, this, [this] { onKeyPicked(); });
    connect(m_keyboardTab, &QAbstractButton::clicked, this, [this] { onKeyboardTabClicked(); });
    connect(m_mouseTab, &QAbstractButton::clicked, this, [this] { onMouseTabClicked(); });
    // A page the user switched to shows the key as its record is: the keyboard page of a key
    // that stayed a mouse key would show a combination the write does not send.
    connect(m_pageStack, &QStackedWidget::currentChanged, this, [this] {
        if (!m_showing)
            showKey();
    });
    // Only the user's choices: the window's own, while it shows a record, change nothing.
    connect(m_mouseButtons, &QButtonGroup::idToggled, this, [this](int button, bool checked) {
        if (checked && !m_showing)
            m_editor->setMouseButton(quint8(button));
    });
    for (QButtonGroup* trigger : {m_mouseTrigger, m_keyboardTrigger}) {
        connect(trigger, &QButtonGroup::idToggled, this, [this](int repeat, bool checked) {
            if (checked && !m_showing)
                m_editor->setRepeat(repeat == 1);
        });
    }
}

}  // namespace tavrel
