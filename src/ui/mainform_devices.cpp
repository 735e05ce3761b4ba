// Device discovery and selection: the device list, the tool bar's device buttons, and what the
// selected key's serial number says it offers.
#include "ui/mainform.h"

#include "ui/errorbox.h"

#include "devices/capabilities.h"
#include "hid/hiddevicecontroller.h"
#include "hid/hiddevice.h"
#include "platform/hooklibrary.h"
#include "ui/widgets/circlebutton.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/linememo.h"
#include "ui/widgets/picturebutton.h"
#include "ui/widgets/tabcontrol.h"
#include "ui/widgets/tabitem.h"
#include "ui/widgets/toolbarband.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

namespace tavrel {

namespace {

constexpr quint16 DeviceVendorId = 0x16C0;
constexpr quint16 DeviceProductId = 0x05E1;

// The tool bar picture of a device button.
QString devicePicture(bool wireless, bool selected)
{
    if (wireless)
        return selected ? QStringLiteral("USB21") : QStringLiteral("USB2");
    return selected ? QStringLiteral("USB11") : QStringLiteral("USB1");
}

QString deviceCaption(bool wireless)
{
    return wireless ? QStringLiteral("无线按键") : QStringLiteral("USB按键");
}

// What the user is told when a key is found that this user may not open for writing.
QString accessHelpText()
{
    return QStringLiteral(
        "发现USB按键，但当前用户没有读写它的权限，无法读取或写入设置。\n"
        "请安装 udev 规则 70-tavrel.rules：在 Tavrel 源码目录中运行 scripts/install-udev-rule.sh，"
        "然后拔出并重新插入USB按键。");
}

bool isKeyDevice(THidDevice* device)
{
    return device->VendorID() == DeviceVendorId && device->ProductID() == DeviceProductId;
}

}  // namespace

bool KeyDeviceFilter(THidDevice* device)
{
    return isKeyDevice(device) && device->ReportCaps().InputReportByteLength == 8;
}

void TMainForm::createController()
{
    HidCtl = new THidDeviceController(this);
    HidCtl->setObjectName(QStringLiteral("HidCtl"));
    // As when a window is loaded: setting the change handler does not scan yet; the
    // controller's start-up notification does, once the event loop runs.
    HidCtl->setLoading(true);
    HidCtl->setDevThreadSleepTime(10);
    HidCtl->setOnEnumerate(THidEnumerateEvent(this, &TMainForm::HidCtlEnumerate));
    HidCtl->setOnDeviceChange(TNotifyEvent(this, &TMainForm::HidCtlDeviceChange));
    HidCtl->setOnDeviceData(THidDataEvent(this, &TMainForm::HidCtlDeviceData));
    HidCtl->setLoading(false);
    connect(HidCtl, &THidDeviceController::scanFailed, this, [](const QString& message) { postErrorBox(message); });
}

bool TMainForm::HidCtlEnumerate(THidDevice* HidDev, int Idx)
{
    if (isKeyDevice(HidDev) && HidDev->ReportCaps().OutputReportByteLength == 8) {
        THidDevice* claimed = nullptr;
        if (HidCtl->ClaimByIndex(claimed, Idx) && claimed) {
            m_listed.push_back(claimed);
            DevListBox->addItem(DeviceListText(claimed->ProductText(), claimed->SerialText()));
        }
    }
    return true;
}

void TMainForm::releaseListedDevices()
{
    CurrentDevice = nullptr;
    // Destroying a claimed device returns its interface to the controller.
    std::vector<THidDevice*> listed;
    listed.swap(m_listed);
    for (THidDevice* device : listed)
        delete device;
    delete std::exchange(m_fallbackDevice, nullptr);
    const QRegularExpression buttonName(QStringLiteral("^toolb\\d+$"));
    for (QWidget* button : ToolBar1->findChildren<QWidget*>(buttonName, Qt::FindDirectChildrenOnly)) {
        // The click that led here may still be on the button's stack.
        button->setObjectName(QString());
        button->hide();
        button->deleteLater();
    }
}

void TMainForm::HidCtlDeviceChange(QObject*)
{
    // A serial that cannot be decoded ends the rebuild where it stands and is shown; the scan
    // that called us goes on.
    guarded([this] { rebuildDevices(); });
}

void TMainForm::rebuildDevices()
{
    releaseListedDevices();
    DevListBox->clear();
    HidCtl->OfferDevices();

    const int count = DevListBox->count();
    if (count > 0) {
        DevListBox->setCurrentRow(0);
        DevListBoxClick();
    }
    Text1->setVisible(count <= 3);

    for (int i = 0; i < count; ++i) {
        const bool wireless = isWirelessItem(DevListBox->item(i)->text());
        auto* button = new ui::PictureButton(deviceCaption(wireless), devicePicture(wireless, i == 0), ToolBar1);
        button->setObjectName(QStringLiteral("toolb%1").arg(i));
        button->setProperty("tag", i);
        button->setGeometry(70 * i + 10, 12, 77, 77);
        button->setPictureSize(48);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QAbstractButton::clicked, this, [this, button] { guarded([&] { SeleUSB(button); }); });
        button->show();
    }

    CurrentDevice = nullptr;
    if (count > 0 && DevListBox->currentRow() >= 0)
        CurrentDevice = deviceOfItem(DevListBox->currentRow());
    if (!CurrentDevice) {
        THidDevice* fallback = nullptr;
        HidCtl->ClaimFirst(fallback, &KeyDeviceFilter);
        if (fallback) {
            m_fallbackDevice = fallback;
            CurrentDevice = fallback;
            m_table.forgetDevice();
        }
    }

    if (CurrentDevice) {
        const QString serial = CurrentDevice->SerialText();
        Memo1->setText(QStringLiteral("序列号:") + serial + QStringLiteral("  "));
        BindCapacity = bindCapacity(serial);
        Text3->setText(QStringLiteral("设置按键:1"));
        setDevicePresent(true);
        TabItem2->setVisible(mousePageAfterChange(serial));
        const bool pairing = hasPairing(serial);
        BitmapButton1->setEnabled(pairing);
        BitmapButton1->setVisible(pairing);
        m_table.AwaitingConfig = true;
        TabControl1->show();
        HorzImageListBox1->show();
        warnAboutAccess();
        readkey();
        keymousecheck();
    } else {
        m_table.KeyCount = 0;
        BindCapacity = 0;
        setDevicePresent(false);
        BitmapButton1->setEnabled(false);
        BitmapButton1->hide();
        HorzImageListBox1->clear();
        Timer1->stop();
        TabControl1->hide();
        HorzImageListBox1->hide();
        Memo1->setText(QStringLiteral("没有发现USB按键!"));
        if (m_hook)
            m_hook->HookOff();
    }
}

void TMainForm::SeleUSB(QObject* Sender)
{
    const int t = Sender->property("tag").toInt();
    if (DevListBox->currentRow() == t)
        return;
    for (int i = 0; i < DevListBox->count(); ++i) {
        auto* button = ToolBar1->findChild<ui::PictureButton*>(QStringLiteral("toolb%1").arg(i));
        const bool wireless = isWirelessItem(DevListBox->item(i)->text());
        if (button)
            button->setPicture(devicePicture(wireless, i == t));
        setWindowTitle(deviceCaption(wireless));
        BitmapButton1->setVisible(wireless);
        BitmapButton1->setEnabled(wireless);
    }
    DevListBox->setCurrentRow(t);
    DevListBoxClick();
}

void TMainForm::DevListBoxClick()
{
    const int row = DevListBox->currentRow();
    THidDevice* device = deviceOfItem(row);
    if (DevListBox->count() == 0 || row < 0 || !device)
        return;
    const QString s = device->SerialText();
    Memo1->setText(QStringLiteral("序列号:") + s);
    Edit5->setText(modelDigits(s));
    const bool groups = triggerGroupsAfterSelection(s);
    TabItem2->setVisible(groups);
    GroupBox3->setVisible(groups);
    GroupBox2->setVisible(groups);
    const bool pairing = hasPairing(s);
    BitmapButton1->setEnabled(pairing);
    BitmapButton1->setVisible(pairing);
    // The pairing window tells the capacity of the receiver that is selected now.
    BindCapacity = bindCapacity(s);
    m_table.forgetDevice();
    readkey();
}

void TMainForm::warnAboutAccess()
{
    // Without the udev rule a key is found but cannot be written; say so instead of failing
    // quietly, once for each interface.
    for (THidDevice* device : m_listed) {
        if (!device || device->CanReadWrite() || m_accessWarned.contains(device->InterfaceInfo().InstanceId))
            continue;
        m_accessWarned.insert(device->InterfaceInfo().InstanceId);
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavrel"), accessHelpText(), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("AccessWarning"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
        return;
    }
}

void TMainForm::setDevicePresent(bool present)
{
    m_devicePresent = present;
    updateReadWriteButtons();
}

void TMainForm::updateReadWriteButtons()
{
    const bool enabled = m_devicePresent && m_busy == 0;
    CircleButton3->setEnabled(enabled);
    CircleButton4->setEnabled(enabled);
}

}  // namespace tavrel
