#pragma once
// The main window: the device tool bar, the key picker, the keyboard and mouse pages, the read and
// write buttons, and a hidden panel of diagnostic fields. A view of the device session.

#include "keys/keylabels.h"
#include "session/devicesession.h"

#include <QWidget>
#include <array>
#include <memory>

class QAction;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QTimer;

namespace tavrel {

class DeviceSession;
class HidDevice;
class HidDeviceController;
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

class TMainForm : public QWidget {
    Q_OBJECT
public:
    // With a session of its own over the system's devices.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    void setPairingWindow(TForm1* form) { m_form1 = form; }
    DeviceSession* session() const { return m_session; }

    // Handlers, named after the widget and the event. They read the widgets and forward to the
    // session; the window shows what the session announces.
    void FormCreate();
    void FormClose();
    void Text4Click();
    void BitmapButton1Click();

    void SeleUSB(QObject* Sender);
    void DevListBoxClick();

    void readkey();
    void Timer1Timer();
    void CircleButton3Click();
    void CircleButton4Click();

    // Keyboard capture.
    void TextBox1EnterFocus();
    void TextBox1KillFocus();
    void hookMessage(quint32 message, quint32 wParam, quint32 lParam);

    // The mode editor: shows the selected key on its page and forwards the user's choices.
    void keymousecheck();
    void HorzImageListBox1Click();
    void TabItem1Click();
    void TabItem2Click();
    void bit7check();

    // Key files (Ctrl+S, Ctrl+O): the selected device's keys saved to a file, and a file loaded
    // into the table, shown but not written until "写入". Each asks for the file in a dialog
    // that does not block; keys typed into the capture box are combinations, not commands.
    void ActionSaveExecute();
    void ActionOpenExecute();
    void saveKeyFile(const QString& path);
    void openKeyFile(const QString& path);
    // The dialog asking for a key file while it is open, else null.
    QFileDialog* fileDialog() const { return m_fileDialog; }

    // The selected key, or -1 when none the table holds is selected.
    int selectedKey() const;

    // Key names as the user's keyboard layout labels the keys, read again from the X server
    // when the window is activated and when capture starts. Layout-independent names where there
    // is no X server.
    const KeyLabels& keyLabels() const { return m_keyLabels; }
    void setKeyLabels(const KeyLabels& labels);

    // Window's web address, opened by the link text in the tool bar.
    static const char* const WebAddress;

signals:
    // The main window was closed: the program ends, whatever the pairing window is doing.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildHiddenPanel();
    void connectHandlers();
    void connectModeEditor();
    void connectSession();

    // Views of the session's state.
    void showDevices();
    void showSelection();
    void showDeviceButtons();
    void showKeys();
    void showKey();
    void showCombination(const TakenCombination& taken, const QString& trace);
    // What the selected key was last heard sending, and the key whose record sends it.
    void showReceived(AttachedKey* from, const InputChange& change, int key);
    void clearReceived();
    void readKeyLabels();
    void showWriteOutcome(const WriteOutcome& outcome);
    void warnAboutAccess(const QString& itemText);
    void showSerial(bool trailingSpaces);
    void mouseButtonChange(ui::GroupRadioButton* button, quint8 mouseButton);
    void removeDeviceButtons();
    void updateReadWriteButtons();
    void hookOff();
    void buildFileActions();
    void askForFile(bool save);

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
    // What the selected key was last heard sending, in the free strip above both pages.
    QLabel* ReceivedText = nullptr;
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

    QAction* ActionSave = nullptr;
    QAction* ActionOpen = nullptr;

    // The session's re-poll timer and device controller.
    QTimer* Timer1 = nullptr;
    HidDeviceController* HidCtl = nullptr;

private:
    DeviceSession* m_session = nullptr;
    std::unique_ptr<platform::HookLibrary> m_hook;
    std::unique_ptr<platform::TestHookMapping> m_testHook;
    std::unique_ptr<platform::HookMessageFilter> m_hookFilter;
    TForm1* m_form1 = nullptr;
    QFileDialog* m_fileDialog = nullptr;
    KeyLabels m_keyLabels;
    // The last press shown, to show again in other key names.
    std::optional<std::pair<InputChange, int>> m_received;
    // Set while the widgets are brought in line with the record: their change signals are the
    // window's own then, not the user's.
    bool m_showing = false;
};

}  // namespace tavrel
