// Reading and writing the configuration: the buttons forward to the session, and the window
// shows the answers, the write's progress and its outcome.
#include "ui/mainform.h"

#include "ui/errorbox.h"

#include "ui/widgets/circlebutton.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/messagepopup.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

namespace tavrel {

void TMainForm::connectSession()
{
    DeviceSession* s = m_session;
    connect(s, &DeviceSession::devicesChanged, this, &TMainForm::showDevices);
    connect(s, &DeviceSession::deviceSelected, this, &TMainForm::showSelection);
    connect(s, &DeviceSession::keyCountChanged, this, &TMainForm::showKeys);
    connect(s, &DeviceSession::keyChanged, this, [this](int key) {
        const auto& record = m_session->shownRecord(key);
        Edit3->setText(record ? hexByte(record->record.mode) : QString());
        if (key == selectedKey())
            showKey();
    });
    connect(s, &DeviceSession::combinationTaken, this, &TMainForm::showCombination);
    connect(s, &DeviceSession::busyChanged, this, &TMainForm::updateReadWriteButtons);
    connect(s, &DeviceSession::writeProgress, ProgressBar1, &QProgressBar::setValue);
    connect(s, &DeviceSession::writeSending, this, [this](const OutputReport& report) {
        for (int i = 3; i <= 7; ++i)
            if (QLineEdit* field = WriteFields[std::size_t(i)])
                field->setText(hexByte(report[std::size_t(i)]));
    });
    connect(s, &DeviceSession::writeFinished, this, &TMainForm::showWriteOutcome);
    connect(s, &DeviceSession::logAppended, this, [this](const QString& line) {
        HistoryListBox->addItem(line);
        HistoryListBox->setCurrentRow(HistoryListBox->count() - 1);
    });
    connect(s, &DeviceSession::accessDenied, this, &TMainForm::warnAboutAccess);
    connect(s, &DeviceSession::failed, this, [](const QString& message) { postErrorBox(message); });
    connect(MessagePopup1, &ui::MessagePopup::closed, this, [this] { ProgressBar1->setValue(0); });
    connect(s, &DeviceSession::inputReceived, this, &TMainForm::showReceived);
    connect(s, &DeviceSession::receivedCleared, this, &TMainForm::clearReceived);
}

void TMainForm::readkey()
{
    m_session->read();
}

void TMainForm::Timer1Timer()
{
    m_session->repoll();
}

void TMainForm::CircleButton3Click()
{
    readkey();
}

void TMainForm::CircleButton4Click()
{
    m_session->write();
}

void TMainForm::showWriteOutcome(const WriteOutcome& outcome)
{
    MessagePopup1->setText(completionText(outcome));
    // A failed write must not look like a finished one.
    MessagePopup1->setIcon(outcome.complete() ? QStringLiteral("PopupIcon") : QStringLiteral("PopupFailIcon"));
    MessagePopup1->open();
}

void TMainForm::showKeys()
{
    // The picker offers the keys the selected key said it has: none before it answered, and
    // never another key's.
    const int keys = m_session->shownKeys();
    if (HorzImageListBox1->count() != keys) {
        HorzImageListBox1->clear();
        HorzImageListBox1->beginUpdate();
        for (int i = 0; i < keys; ++i)
            HorzImageListBox1->addItem(QStringLiteral("anjianItem%1").arg(i), QStringLiteral("bitmapobject%1").arg(i + 1), 110);
        HorzImageListBox1->endUpdate();
    }
    HorzImageListBox1->setItemIndex(m_session->selectedKey());
    const auto& first = m_session->shownRecord(0);
    Edit2->setText(first ? recordText(first->record).left(11).replace(QLatin1Char(' '), QLatin1Char('-')) : QString());
    updateReadWriteButtons();
    keymousecheck();
}

void TMainForm::updateReadWriteButtons()
{
    // A key that has not said which keys it has offers nothing to write.
    const bool enabled = m_session->devicePresent() && !m_session->busy();
    CircleButton3->setEnabled(enabled);
    CircleButton4->setEnabled(enabled && m_session->shownKeys() > 0);
}

}  // namespace tavrel
