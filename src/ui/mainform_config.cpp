// Reading and writing the configuration, and every input report's way into the window.
#include "ui/mainform.h"

#include "ui/errorbox.h"

#include "hid/hiddevice.h"
#include "ui/form1.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/messagepopup.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

namespace tavrel {

void TMainForm::pause(int ms)
{
    // The device needs the gap between requests; answers and clicks are handled after it.
    QThread::msleep(ms);
    QCoreApplication::processEvents();
}

WriteResult TMainForm::writeToCurrent(std::span<const quint8> report)
{
    if (!CurrentDevice)
        return {};
    const IoResult r = CurrentDevice->WriteReport(report);
    return {r.ok(), r.written};
}

void TMainForm::readkey()
{
    BusyScope busy(this);
    readConfiguration(m_channel, m_table, [this] { pause(50); });
}

void TMainForm::Timer1Timer()
{
    // A read that is still running covers this tick.
    if (m_table.AwaitingConfig && m_busy == 0)
        readkey();
}

void TMainForm::CircleButton3Click()
{
    readkey();
}

void TMainForm::CircleButton4Click()
{
    WriteOutcome outcome;
    {
        BusyScope busy(this);
        WriteSteps steps;
        steps.progress = [this](int value) { ProgressBar1->setValue(value); };
        steps.sending = [this](const OutputReport& report) {
            for (int i = 3; i <= 7; ++i)
                if (QLineEdit* field = WriteFields[std::size_t(i)])
                    field->setText(hexByte(report[std::size_t(i)]));
        };
        steps.pause = [this] { pause(150); };
        outcome = writeConfiguration(m_channel, m_table, steps);
        MessagePopup1->setText(completionText(outcome));
    }
    MessagePopup1->exec();
    ProgressBar1->setValue(0);
}

bool TMainForm::sendPairRequest(quint8 subCommand)
{
    m_channel.beginOperation();
    return m_channel.send(pairReport(subCommand)).ok;
}

bool TMainForm::addbord()
{
    return sendPairRequest(PAIR_BIND);
}

bool TMainForm::clearbord()
{
    return sendPairRequest(PAIR_CLEAR);
}

void TMainForm::HidCtlDeviceData(THidDevice* HidDev, quint8 ReportID, const quint8* Data, quint16 Size)
{
    ReportHandlers handlers;
    handlers.keyRecord = [this, HidDev](const KeyRecordResponse& r) {
        // Only the device being read fills the table: a late answer from another device would
        // otherwise be written to this one.
        if (HidDev == CurrentDevice)
            handleKeyRecord(r);
    };
    handlers.pairing = [this](const PairingResponse& p) {
        if (m_form1)
            m_form1->pairingResponse(p);
    };
    // A failure here is shown; letting it reach the reader would end the device's reports.
    guarded([&] { dispatchReport(ReportID, std::span<const quint8>(Data, Size), handlers, *this); });
}

void TMainForm::handleKeyRecord(const KeyRecordResponse& r)
{
    const int k = r.keyIndex();
    if (!KeyTable::validKey(k))
        return;
    Timer1->stop();
    applyKeyRecord(m_table, r);
    Edit3->setText(m_table.field(k, Field::Mode));
    Edit2->setText(QStringList{m_table.field(0, Field::Modifiers), m_table.field(0, Field::Code1),
                               m_table.field(0, Field::Code2), m_table.field(0, Field::Code3)}
                       .join(QLatin1Char('-')));

    const QString shown = m_table.textOf(HorzImageListBox1->itemIndex());
    TextBox1->setText(shown);
    Edit1->setText(shown);  // runs the encoder when the text changes

    HorzImageListBox1->clear();
    HorzImageListBox1->beginUpdate();
    for (int i = 0; i < m_table.KeyCount; ++i)
        HorzImageListBox1->addItem(QStringLiteral("anjianItem%1").arg(i), QStringLiteral("bitmapobject%1").arg(i + 1), 110);
    HorzImageListBox1->endUpdate();
    HorzImageListBox1->setItemIndex(0);
    keymousecheck();
}

}  // namespace tavrel
