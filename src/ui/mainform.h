#pragma once
// The main window: the device tool bar, the key picker, the keyboard and mouse pages, the read and
// write buttons, and a hidden panel of diagnostic fields that other code uses as state.

#include "config/configio.h"
#include "config/keytable.h"
#include "config/protocol.h"
#include "keys/capture.h"

#include <QSet>
#include <QWidget>
#include <array>
#include <memory>

class QLineEdit;
class QListWidget;
class QProgressBar;
class QTimer;

namespace tavrel {

class THidDevice;
class THidDeviceController;
class TForm1;

namespace platform {
class HookLibrary;
class HookMessageFilter;
class TestHookMapping;
}

namespace ui {
class CircleButton;
class CloseButton;
class GradientText;
class GroupRadioButton;
class KeyPicker;
class LineMemo;
class MessagePopup;
class PictureButton;
class PictureView;
class TabControl;
class TabItem;
class ToolBarBand;
}  // namespace ui

class TMainForm : public QWidget, private ReportTransport, private ReportLog {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    void setPairingWindow(TForm1* form) { m_form1 = form; }

    // The key table: one for the whole run, shared by every device.
    KeyTable& table() { return m_table; }
    int BindCapacity = 0;

    // Handlers, named after the widget and the event.
    void FormCreate();
    void FormClose();
    void Text4Click();
    void BitmapButton1Click();

    bool HidCtlEnumerate(THidDevice* HidDev, int Idx);
    void HidCtlDeviceChange(QObject* Sender);
    void HidCtlDeviceData(THidDevice* HidDev, quint8 ReportID, const quint8* Data, quint16 Size);
    void SeleUSB(QObject* Sender);
    void DevListBoxClick();

    void readkey();
    void Timer1Timer();
    void CircleButton3Click();
    void CircleButton4Click();

    // Pairing requests for the pairing window; false when the request could not be written.
    bool addbord();
    bool clearbord();

    // Keyboard capture.
    void TextBox1EnterFocus();
    void TextBox1KillFocus();
    void hookMessage(quint32 message, quint32 wParam, quint32 lParam);
    void Edit1Change();

    // The mode editor: shows the selected key on its page and stores the user's choices.
    void keymousecheck();
    void HorzImageListBox1Click();
    void TabItem1Click();
    void TabItem2Click();
    void bit7check();

    // The selected key, or -1 when the picker selects nothing the table holds.
    int selectedKey() const;

    // Window's web address, opened by the link text in the tool bar.
    static const char* const WebAddress;

signals:
    // The main window was closed: the program ends, whatever the pairing window is doing.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ReportTransport
    void takeSelectedDevice() override;
    WriteResult writeToCurrent(std::span<const quint8> report) override;
    // ReportLog
    void append(const QString& line) override;

    // Counts a running read or write for as long as it lets events run.
    class BusyScope {
    public:
        explicit BusyScope(TMainForm* form) : m_form(form)
        {
            ++m_form->m_busy;
            m_form->updateReadWriteButtons();
        }
        ~BusyScope()
        {
            --m_form->m_busy;
            m_form->updateReadWriteButtons();
        }

    private:
        TMainForm* m_form;
    };

    void buildLayout();
    void buildHiddenPanel();
    void connectHandlers();
    void connectModeEditor();
    void createController();
    void rebuildDevices();
    void handleKeyRecord(const KeyRecordResponse& r);
    void warnAboutAccess();
    bool sendPairRequest(quint8 subCommand);
    void encode(const QStringList& keys);
    void setField(int key, Field field, const QString& value);
    void mouseButtonChange(ui::GroupRadioButton* button, const char* modifiers);
    void releaseListedDevices();
    void setDevicePresent(bool present);
    void updateReadWriteButtons();
    void pause(int ms);
    QString selectedSerial() const;
    THidDevice* deviceOfItem(int index) const;

public:
    // Widgets, by the names the rest of the program knows them by.
    QWidget* Scene1 = nullptr;
    QWidget* Root1 = nullptr;
    ui::ToolBarBand* ToolBar1 = nullptr;
    ui::LineMemo* Memo1 = nullptr;
    ui::GradientText* Text1 = nullptr;
    ui::GradientText* Text2 = nullptr;
    ui::GradientText* Text4 = nullptr;
    ui::TabControl* TabControl1 = nullptr;
    ui::TabItem* TabItem1 = nullptr;
    ui::TabItem* TabItem2 = nullptr;
    QWidget* Layout2 = nullptr;
    QWidget* Layout3 = nullptr;
    ui::PictureView* Image3 = nullptr;
    ui::PictureView* Image13 = nullptr;
    QWidget* GroupBox1 = nullptr;
    QWidget* GroupBox2 = nullptr;
    QWidget* GroupBox3 = nullptr;
    ui::GroupRadioButton* RadioButton1 = nullptr;
    ui::GroupRadioButton* RadioButton2 = nullptr;
    ui::GroupRadioButton* RadioButton3 = nullptr;
    ui::GroupRadioButton* RadioButton4 = nullptr;
    ui::GroupRadioButton* RadioButton5 = nullptr;
    ui::GroupRadioButton* RadioButton6 = nullptr;
    ui::GroupRadioButton* RadioButton7 = nullptr;
    QLineEdit* TextBox1 = nullptr;
    ui::GradientText* Text3 = nullptr;
    ui::KeyPicker* HorzImageListBox1 = nullptr;
    ui::CircleButton* CircleButton3 = nullptr;
    ui::CircleButton* CircleButton4 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    ui::MessagePopup* MessagePopup1 = nullptr;
    ui::PictureButton* BitmapButton1 = nullptr;
    ui::CloseButton* CloseButton1 = nullptr;

    QWidget* test = nullptr;
    QWidget* Panel1 = nullptr;
    QListWidget* HistoryListBox = nullptr;
    QListWidget* DevListBox = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    // Slots 1 to 7: Write1 to Write7, found by name at start-up.
    std::array<QLineEdit*, 8> WriteFields{};

    QTimer* Timer1 = nullptr;
    THidDeviceController* HidCtl = nullptr;

private:
    KeyTable m_table;
    ReportChannel m_channel{*this, *this};
    THidDevice* CurrentDevice = nullptr;
    // Claimed by the fallback selection, not listed; released at the next device change.
    THidDevice* m_fallbackDevice = nullptr;
    std::vector<THidDevice*> m_listed;  // the devices of DevListBox's items, in item order
    std::unique_ptr<platform::HookLibrary> m_hook;
    std::unique_ptr<platform::TestHookMapping> m_testHook;
    std::unique_ptr<platform::HookMessageFilter> m_hookFilter;
    KeyCapture m_capture;
    QSet<quint32> m_accessWarned;
    TForm1* m_form1 = nullptr;
    bool m_devicePresent = false;
    int m_busy = 0;  // reads and writes running (they nest through the events they let run)
};

}  // namespace tavrel
