// Device discovery and selection as the window shows them: the tool bar's device buttons, and what the selected device's serial number says it offers.
#include "ui/mainwindow.h"

#include "ui/widgets/gradienttext.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/toolbarband.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

namespace tavrel {

namespace {

// The tool bar picture of a device button.
QString devicePicture(bool wireless, bool selected)
{
    if (wireless)
        return selected ? QStringLiteral("WirelessKeySelected") : QStringLiteral("WirelessKey");
    return selected ? QStringLiteral("WiredKeySelected") : QStringLiteral("WiredKey");
}

QString deviceCaption(bool wireless)
{
    return wireless ? MainWindow::tr("无线按键") : MainWindow::tr("USB按键");
}

// What the user is told when a device is found that this user may not open for writing.
QString accessHelpText()
{
    return MainWindow::tr("发现USB按键，但当前用户没有读写它的权限，无法读取或写入设置。\n"
                          "请安装 udev 规则 70-tavrel.rules：在 Tavrel 源码目录中运行 scripts/install-udev-rule.sh，"
                          "然后拔出并重新插入USB按键。");
}

}  // namespace

void MainWindow::removeDeviceButtons()
{
    for (QAbstractButton* button : m_deviceButtons->buttons()) {
        m_deviceButtons->removeButton(button);
        // The click that led here may still be on the button's stack.
        button->setObjectName(QString());
        button->hide();
        button->deleteLater();
    }
}

void MainWindow::showSerial(bool trailingSpaces)
{
    m_serialSpaces = trailingSpaces;
    const AttachedDevice* device = m_editor->selected();
    if (!device)
        return;
    QString text = tr("序列号:") + device->identity().serial + (trailingSpaces ? QStringLiteral("  ") : QString());
    // Another maker's device with these ids, or a device whose serial is not a known code: it
    // works as the plainest device, and the window says why it offers no more.
    if (!device->capabilities().decoded)
        text += QLatin1Char('\n') + tr("型号未知：仅键盘按键");
    // What another Tavrel program does to the device while this window shows it.
    if (device->waitingForOtherWrite())
        text += QLatin1Char('\n') + tr("等待其他程序写完…");
    const QList<int> changed = device->assignments().changedElsewhere();
    //: Keys whose edit, not written yet, stays while another program wrote them.
    if (!changed.isEmpty())
        text += QLatin1Char('\n') + tr("按键%1已被他处改写").arg(keyNumbersText(changed));
    if (!m_historyNote.isEmpty())
        text += QLatin1Char('\n') + m_historyNote;
    m_statusMemo->setPlainText(text);
}

void MainWindow::showDevices()
{
    removeDeviceButtons();
    const int count = int(m_session->devices().size());
    m_titleText->setVisible(count <= 3);
    showDeviceButtons();

    if (m_editor->selected()) {
        m_historyNote.clear();
        showSerial(true);
        m_keyCaption->setText(tr("设置按键:%1").arg(std::max(m_editor->selectedKey(), 0) + 1));
        m_emptyHelp->hide();
        m_pages->show();
        m_keyPicker->show();
        showSelectedDevice();
    } else {
        m_pairingButton->setEnabled(false);
        m_pairingButton->hide();
        m_keyPicker->clear();
        m_pages->hide();
        m_keyPicker->hide();
        m_emptyHelp->show();
        m_statusMemo->setPlainText(tr("没有发现USB按键!"));
        stopCapture();
    }
    updateReadWriteButtons();
}

void MainWindow::showDeviceButtons()
{
    const auto& devices = m_session->devices();
    for (int i = 0; i < int(devices.size()); ++i) {
        const bool wireless = devices[std::size_t(i)]->capabilities().wireless;
        auto* button =
            ui::pictureButton(deviceCaption(wireless), devicePicture(wireless, i == m_editor->selectedIndex()), 48,
                              Qt::ToolButtonTextUnderIcon, m_toolBar);
        button->setObjectName(QStringLiteral("deviceButton%1").arg(i));
        m_deviceButtons->addButton(button, i);
        button->setGeometry(70 * i + 10, 12, 77, 77);
        button->show();
    }
}

void MainWindow::showSelection()
{
    const int row = m_editor->selectedIndex();
    m_historyNote.clear();
    showSerial(false);
    // The tool bar's pictures follow the device chosen, whatever the others are.
    const auto& devices = m_session->devices();
    for (int i = 0; i < int(devices.size()); ++i) {
        if (QAbstractButton* button = m_deviceButtons->button(i))
            ui::showPicture(button, devicePicture(devices[std::size_t(i)]->capabilities().wireless, i == row));
    }
    connectSelectedDevice();
    showSelectedDevice();
}

// What the selected device offers: its pages and groups, pairing, the window title, its keys.
void MainWindow::showSelectedDevice()
{
    const DeviceCapabilities caps = m_editor->selected() ? m_editor->selected()->capabilities() : DeviceCapabilities{};
    m_mouseTab->setVisible(m_editor->mousePageShown());
    m_keyboardTriggerBox->setVisible(m_editor->triggerGroupsShown());
    m_mouseTriggerBox->setVisible(m_editor->triggerGroupsShown());
    m_pairingButton->setEnabled(caps.pairing);
    m_pairingButton->setVisible(caps.pairing);
    setWindowTitle(deviceCaption(caps.wireless));
    showKeys();
}

void MainWindow::connectSelectedDevice()
{
    AttachedDevice* device = m_editor->selected();
    if (device == m_connectedDevice)
        return;
    if (m_connectedDevice)
        m_connectedDevice->disconnect(this);
    m_connectedDevice = device;
    if (!device)
        return;
    connect(device, &AttachedDevice::recordChanged, this, [this](int key) {
        if (key == selectedKey())
            showKey();
    });
    // Every answer of a read hands the capture box the focus, so that the user can type the new
    // combination at once, also after clicking 读取.
    connect(device, &AttachedDevice::readAnswered, this, &MainWindow::focusCaptureBox);
    // Connected through the window, so that letting the device go ends this one as well.
    connect(device, &AttachedDevice::writeProgress, this, [this](int value) { m_writeProgress->setValue(value); });
    connect(device, &AttachedDevice::writeFinished, this, &MainWindow::showWriteOutcome);
    connect(device, &AttachedDevice::sharingChanged, this, [this] { showSerial(m_serialSpaces); });
    connect(device, &AttachedDevice::inputReceived, this, &MainWindow::showReceived);
}

void MainWindow::onDeviceButtonClicked(int device)
{
    m_editor->selectDevice(device);
}

void MainWindow::warnAboutAccess(const QString&)
{
    // Without the udev rule a device is found but cannot be written; say so instead of failing
    // quietly.
    auto* box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavrel"), accessHelpText(), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("AccessWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace tavrel
