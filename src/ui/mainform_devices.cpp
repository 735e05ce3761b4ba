// Device discovery and selection as the window shows them: the hidden device list, the tool
// bar's device buttons, and what the selected key's serial number says it offers.
#include "ui/mainform.h"

#include "ui/errorbox.h"

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

namespace tavrel {

namespace {

// The tool bar picture of a device button.
QString devicePicture(bool wireless, bool selected)
{
    if (wireless)
        return selected ? QStringLiteral("USB21") : QStringLiteral("USB2");
    return selected ? QStringLiteral("USB11") : QStringLiteral("USB1");
}

QString deviceCaption(bool wireless)
{
    return wireless ? TMainForm::tr("无线按键") : TMainForm::tr("USB按键");
}

// What the user is told when a key is found that this user may not open for writing.
QString accessHelpText()
{
    return TMainForm::tr(
        "发现USB按键，但当前用户没有读写它的权限，无法读取或写入设置。\n"
        "请安装 udev 规则 70-tavrel.rules：在 Tavrel 源码目录中运行 scripts/install-udev-rule.sh，"
        "然后拔出并重新插入USB按键。");
}

}  // namespace

void TMainForm::removeDeviceButtons()
{
    const QRegularExpression buttonName(QStringLiteral("^toolb\\d+$"));
    for (QWidget* button : ToolBar1->findChildren<QWidget*>(buttonName, Qt::FindDirectChildrenOnly)) {
        // The click that led here may still be on the button's stack.
        button->setObjectName(QString());
        button->hide();
        button->deleteLater();
    }
}

void TMainForm::showSerial(bool trailingSpaces)
{
    const AttachedKey* key = m_session->selected();
    if (!key)
        return;
    QString text = tr("序列号:") + key->identity().serial + (trailingSpaces ? QStringLiteral("  ") : QString());
    // Another maker's device with these ids, or a key whose serial is not a known code: it works
    // as the plainest key, and the window says why it offers no more.
    if (!key->capabilities().decoded)
        text += QLatin1Char('\n') + tr("型号未知：仅键盘按键");
    Memo1->setText(text);
}

void TMainForm::showDevices()
{
    const auto& keys = m_session->keys();
    removeDeviceButtons();
    DevListBox->clear();
    for (const AttachedKey* key : keys)
        DevListBox->addItem(key->itemText());
    const int count = int(keys.size());
    if (m_session->selectedDevice() >= 0)
        DevListBox->setCurrentRow(m_session->selectedDevice());
    Text1->setVisible(count <= 3);
    showDeviceButtons();

    if (m_session->devicePresent()) {
        showSerial(true);
        Text3->setText(tr("设置按键:%1").arg(m_session->selectedKey() + 1));
        TabItem2->setVisible(m_session->mousePageShown());
        BitmapButton1->setEnabled(m_session->capabilities().pairing);
        BitmapButton1->setVisible(m_session->capabilities().pairing);
        setWindowTitle(deviceCaption(m_session->capabilities().wireless));
        TabControl1->show();
        HorzImageListBox1->show();
        showKeys();
    } else {
        BitmapButton1->setEnabled(false);
        BitmapButton1->hide();
        HorzImageListBox1->clear();
        TabControl1->hide();
        HorzImageListBox1->hide();
        Memo1->setText(tr("没有发现USB按键!"));
        hookOff();
    }
    updateReadWriteButtons();
}

void TMainForm::showDeviceButtons()
{
    const auto& keys = m_session->keys();
    for (int i = 0; i < int(keys.size()); ++i) {
        const bool wireless = keys[std::size_t(i)]->capabilities().wireless;
        auto* button = new ui::PictureButton(deviceCaption(wireless),
                                             devicePicture(wireless, i == m_session->selectedDevice()), ToolBar1);
        button->setObjectName(QStringLiteral("toolb%1").arg(i));
        button->setProperty("tag", i);
        button->setGeometry(70 * i + 10, 12, 77, 77);
        button->setPictureSize(48);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QAbstractButton::clicked, this, [this, button] { guarded([&] { SeleUSB(button); }); });
        button->show();
    }
}

void TMainForm::showSelection()
{
    const int row = m_session->selectedDevice();
    if (row >= 0 && row < DevListBox->count())
        DevListBox->setCurrentRow(row);
    showSerial(false);
    Edit5->setText(m_session->capabilities().modelDigits);
    TabItem2->setVisible(m_session->mousePageShown());
    GroupBox3->setVisible(m_session->triggerGroupsShown());
    GroupBox2->setVisible(m_session->triggerGroupsShown());
    BitmapButton1->setEnabled(m_session->capabilities().pairing);
    BitmapButton1->setVisible(m_session->capabilities().pairing);
    // The tool bar's pictures and the title follow the key chosen, whatever the others are.
    const auto& keys = m_session->keys();
    for (int i = 0; i < int(keys.size()); ++i) {
        if (auto* button = ToolBar1->findChild<ui::PictureButton*>(QStringLiteral("toolb%1").arg(i)))
            button->setPicture(devicePicture(keys[std::size_t(i)]->capabilities().wireless, i == row));
    }
    setWindowTitle(deviceCaption(m_session->capabilities().wireless));
    showKeys();
}

void TMainForm::SeleUSB(QObject* Sender)
{
    const int t = Sender->property("tag").toInt();
    if (m_session->selectedDevice() == t || t < 0 || t >= int(m_session->keys().size()) || m_session->writing())
        return;
    DevListBox->setCurrentRow(t);
    DevListBoxClick();
}

void TMainForm::DevListBoxClick()
{
    m_session->selectDevice(DevListBox->currentRow());
}

void TMainForm::warnAboutAccess(const QString&)
{
    // Without the udev rule a key is found but cannot be written; say so instead of failing
    // quietly.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavrel"), accessHelpText(), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("AccessWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace tavrel
