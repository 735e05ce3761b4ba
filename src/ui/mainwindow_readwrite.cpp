// Reading and writing the configuration: the buttons forward to the session, and the window
// shows the answers, the write's progress and its outcome.
#include "ui/mainwindow.h"

#include "ui/errorbox.h"

#include "ui/widgets/circlebutton.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/messagepopup.h"

#include <QProgressBar>

namespace tavrel {

void MainWindow::connectSession()
{
    DeviceSession* s = m_session;
    connect(s, &DeviceSession::devicesChanged, this, &MainWindow::showDevices);
    connect(s, &DeviceSession::deviceSelected, this, &MainWindow::showSelection);
    connect(s, &DeviceSession::keyCountChanged, this, &MainWindow::showKeys);
    connect(s, &DeviceSession::keyChanged, this, [this](int key) {
        if (key == selectedKey())
            showKey();
    });
    // Every answer of a read hands the capture box the focus, so that the user can type the new
    // combination at once, also after clicking 读取.
    connect(s, &DeviceSession::keyAnswered, this, &MainWindow::focusCaptureBox);
    connect(s, &DeviceSession::combinationTaken, this, &MainWindow::showCombination);
    connect(s, &DeviceSession::busyChanged, this, &MainWindow::updateReadWriteButtons);
    connect(s, &DeviceSession::writeProgress, m_writeProgress, &QProgressBar::setValue);
    connect(s, &DeviceSession::writeFinished, this, &MainWindow::showWriteOutcome);
    connect(s, &DeviceSession::sharingChanged, this, [this] { showSerial(m_serialSpaces); });
    connect(s, &DeviceSession::accessDenied, this, &MainWindow::warnAboutAccess);
    connect(s, &DeviceSession::failed, this, [](const QString& message) { postErrorBox(message); });
    connect(m_messagePopup, &QDialog::finished, this, [this] { m_writeProgress->setValue(0); });
    connect(s, &DeviceSession::inputReceived, this, &MainWindow::showReceived);
    connect(s, &DeviceSession::receivedCleared, this, &MainWindow::clearReceived);
}

void MainWindow::onReadClicked()
{
    m_session->read();
}

void MainWindow::onWriteClicked()
{
    m_session->write();
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
    // The picker offers the keys the selected key said it has: none before it answered, and
    // never another key's.
    const int keys = m_session->shownKeys();
    if (m_keyPicker->count() != keys) {
        m_keyPicker->clear();
        m_keyPicker->beginUpdate();
        for (int i = 0; i < keys; ++i)
            m_keyPicker->addItem(QStringLiteral("keyItem%1").arg(i), QStringLiteral("key%1").arg(i + 1), 110);
        m_keyPicker->endUpdate();
    }
    m_keyPicker->setCurrentIndex(m_session->selectedKey());
    updateReadWriteButtons();
    showSelectedKeyPage();
}

void MainWindow::updateReadWriteButtons()
{
    // A key that has not said which keys it has offers nothing to write.
    const bool enabled = m_session->devicePresent() && !m_session->busy();
    m_readButton->setEnabled(enabled);
    m_writeButton->setEnabled(enabled && m_session->shownKeys() > 0);
}

}  // namespace tavrel
