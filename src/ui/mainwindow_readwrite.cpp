// Reading and writing the configuration: the buttons forward to the selected device, and the
// window shows the answers, the write's progress and its outcome.
#include "ui/mainwindow.h"

#include "ui/errorbox.h"

#include "ui/widgets/circlebutton.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/messagepopup.h"

#include <QProgressBar>

namespace tavrel {

void MainWindow::connectSession()
{
    // The editor settles the selection on the session's devicesChanged before the window shows
    // the list: it connected first.
    DeviceSession* s = m_session;
    connect(s, &DeviceSession::devicesChanged, this, &MainWindow::showDevices);
    connect(s, &DeviceSession::accessDenied, this, &MainWindow::warnAboutAccess);
    connect(s, &DeviceSession::failed, this, [](const QString& message) { postErrorBox(message); });
    DeviceEditor* e = m_editor;
    connect(e, &DeviceEditor::deviceSelected, this, &MainWindow::showSelection);
    connect(e, &DeviceEditor::receivedCleared, this, &MainWindow::clearReceived);
    connect(e, &DeviceEditor::keyCountChanged, this, &MainWindow::showKeys);
    connect(e, &DeviceEditor::combinationTaken, this, &MainWindow::showCombination);
    connect(e, &DeviceEditor::combinationKept, this, [this](int key) {
        if (key == selectedKey())
            showKey();
    });
    connect(e, &DeviceEditor::busyChanged, this, &MainWindow::updateReadWriteButtons);
    connect(m_messagePopup, &QDialog::finished, this, [this] { m_writeProgress->setValue(0); });
}

void MainWindow::onReadClicked()
{
    if (AttachedDevice* device = m_editor->selected())
        device->read(AttachedDevice::ReadKind::Explicit);
}

void MainWindow::onWriteClicked()
{
    if (AttachedDevice* device = m_editor->selected())
        device->write();
}

void MainWindow::showWriteOutcome(const WriteOutcome& outcome)
{
    m_messagePopup->setText(completionText(outcome));
    // A failed write must not look like a finished one.
    m_messagePopup->setIcon(outcome.complete() ? QStringLiteral("PopupIcon") : QStringLiteral("PopupFailIcon"));
    m_messagePopup->open();
}

void MainWindow::showKeys()
{
    // The picker offers the keys the selected device said it has: none before it answered, and
    // never another device's.
    const int keys = m_editor->shownKeys();
    if (m_keyPicker->count() != keys) {
        m_keyPicker->clear();
        m_keyPicker->beginUpdate();
        for (int i = 0; i < keys; ++i)
            m_keyPicker->addItem(QStringLiteral("keyItem%1").arg(i), QStringLiteral("key%1").arg(i + 1), 110);
        m_keyPicker->endUpdate();
    }
    m_keyPicker->setCurrentIndex(m_editor->selectedKey());
    updateReadWriteButtons();
    showSelectedKeyPage();
}

void MainWindow::updateReadWriteButtons()
{
    // A device that has not said which keys it has offers nothing to write.
    const bool enabled = m_editor->selected() && !m_editor->busy();
    m_readButton->setEnabled(enabled);
    m_writeButton->setEnabled(enabled && m_editor->shownKeys() > 0);
}

}  // namespace tavrel
