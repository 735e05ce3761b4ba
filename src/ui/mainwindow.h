#pragma once
// The main window: the device tool bar, the key picker, the keyboard and mouse pages, and the read
// and write buttons. A view of the device session and of the selected device: its handlers read
// the widgets and forward to the editor or the device, and it shows what they announce.

#include "config/historyentry.h"
#include "keys/keylabels.h"
#include "session/deviceeditor.h"
#include "session/devicesession.h"
#include "ui/keyfilereader.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace tavrel {

class DeviceSession;
class PairingWindow;

namespace platform {
class HookLibrary;
class HookMessageFilter;
class TestHookMemory;
}  // namespace platform

namespace ui {
class CircleButton;
class GradientText;
class KeyPicker;
class MessagePopup;
class ToolBarBand;
}  // namespace ui

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // With a session of its own over the system's devices.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The wireless pairing window to open from the tool bar. Without one set, the window makes
    // its own the first time it is opened: most starts never open it.
    void setPairingWindow(PairingWindow* window) { m_pairingWindow = window; }
    DeviceSession* session() const { return m_session; }
    // The selected device and the key being edited on it.
    DeviceEditor* editor() const { return m_editor; }

    // Key files (Ctrl+S, Ctrl+O): the selected device's keys saved to a file, and a file loaded
    // into the table, shown but not written until "写入". The shortcuts ask for the file in a
    // dialog that does not block; keys typed into the capture box are combinations, not commands.
    // A file is read and checked on a thread of its own; the window says how it went once it has.
    void saveKeyFile(const QString& path);
    void openKeyFile(const QString& path);
    // The dialog asking for a key file while it is open, else null.
    QFileDialog* fileDialog() const { return m_fileDialog; }

    // The key being edited, or -1 when none the table holds is selected.
    int selectedKey() const;

    // Key names as the user's keyboard layout labels the keys, read again from the X server
    // when the window is activated and when capture starts. Layout-independent names where there
    // is no X server.
    const KeyLabels& keyLabels() const { return m_keyLabels; }
    void setKeyLabels(const KeyLabels& labels);

    // A message of the hook library, as the native event filter hands it on: a key pressed or
    // released while capture is on. Tests without the hook library's X client give them here.
    void handleHookMessage(quint32 message, quint32 wParam, quint32 lParam);

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
    // The layout, top to bottom: the tool bar band, the key picker, the two key pages, the
    // buttons right of them, and what is drawn over everything.
    void buildLayout();
    void buildToolBar();
    void buildKeyPages();
    void buildKeyboardPage();
    void buildMousePage();
    void buildButtons();
    void buildEmptyState();
    void connectHandlers();
    void connectKeyEditor();
    void connectSession();
    // The selected device's own events reach the window while it is selected.
    void connectSelectedDevice();
    void buildFileActions();
    void buildHistoryAction();

    // Handlers of what the user does.
    void onWebLinkClicked();
    void onPairingClicked();
    void onDeviceButtonClicked(int device);
    void onReadClicked();
    void onWriteClicked();
    void onKeyPicked();
    void onKeyboardTabClicked();
    void onMouseTabClicked();
    void onSaveTriggered();
    void onOpenTriggered();
    void askForFile(bool save);
    void onUndoTriggered();
    // What undoing the selected device's latest write that changed a key writes back, checked
    // against what it holds; none, with the reason shown, when there is nothing to write back.
    // `about` gets the entry's time.
    std::optional<history::UndoPlan> undoPlan(QString* about);
    void showLoadedKeyFile(const KeyFileReader::Result& read);

    // Keyboard capture: the hook library loaded at start-up, switched on while the capture box
    // has the focus.
    void setUpCapture();
    void startCapture();
    void stopCapture();

    // Views of the session's state.
    void showDevices();
    void showSelection();
    void showDeviceButtons();
    void removeDeviceButtons();
    void showKeys();
    void showKey();
    // The selected key on its page, with the capture box focused on the keyboard page.
    void showSelectedKeyPage();
    // The page with this index, and its tab checked.
    void showPage(int index);
    // The capture box takes the focus, and capture starts, when the keyboard page shows a key.
    void focusCaptureBox();
    void showCombination(const TakenCombination& taken);
    // What the selected device was last heard sending, and the key whose record sends it.
    void showReceived(const InputChange& change, int key);
    void clearReceived();
    void readKeyLabels();
    void showWriteOutcome(const WriteOutcome& outcome);
    void warnAboutAccess(const QString& itemText);
    void showSerial(bool trailingSpaces);
    void showSelectedDevice();
    void updateReadWriteButtons();

    // The tool bar band.
    QWidget* m_root = nullptr;
    ui::ToolBarBand* m_toolBar = nullptr;
    QPlainTextEdit* m_statusMemo = nullptr;
    ui::GradientText* m_titleText = nullptr;
    QPushButton* m_webLink = nullptr;
    QButtonGroup* m_deviceButtons = nullptr;
    // The key picker and the pages of the selected device.
    ui::KeyPicker* m_keyPicker = nullptr;
    // The tabs over the stack of the two pages; ids and indexes 0 for the keyboard, 1 for the mouse.
    QWidget* m_pages = nullptr;
    QButtonGroup* m_tabs = nullptr;
    QPushButton* m_keyboardTab = nullptr;
    QPushButton* m_mouseTab = nullptr;
    QStackedWidget* m_pageStack = nullptr;
    QWidget* m_keyboardPage = nullptr;
    QWidget* m_mousePage = nullptr;
    ui::GradientText* m_keyCaption = nullptr;
    QLineEdit* m_captureBox = nullptr;
    QGroupBox* m_keyboardTriggerBox = nullptr;
    // Ids: 0 for a single press, 1 for repeating.
    QButtonGroup* m_keyboardTrigger = nullptr;
    QLabel* m_mousePicture = nullptr;
    QGroupBox* m_mouseButtonBox = nullptr;
    QButtonGroup* m_mouseButtons = nullptr;
    QGroupBox* m_mouseTriggerBox = nullptr;
    QButtonGroup* m_mouseTrigger = nullptr;
    // What the selected device was last heard sending, in the free strip above both pages.
    QLabel* m_receivedText = nullptr;
    // Right of the pages, and along the bottom edge.
    QAbstractButton* m_pairingButton = nullptr;
    ui::CircleButton* m_readButton = nullptr;
    ui::CircleButton* m_writeButton = nullptr;
    QProgressBar* m_writeProgress = nullptr;
    ui::MessagePopup* m_messagePopup = nullptr;
    // What to do when no device is found, in the space the pages take otherwise.
    QLabel* m_emptyHelp = nullptr;

    DeviceSession* m_session = nullptr;
    DeviceEditor* m_editor = nullptr;
    // The device whose events the window takes, the selected one.
    QPointer<AttachedDevice> m_connectedDevice;
    std::unique_ptr<platform::HookLibrary> m_hook;
    std::unique_ptr<platform::TestHookMemory> m_testHook;
    std::unique_ptr<platform::HookMessageFilter> m_hookFilter;
    PairingWindow* m_pairingWindow = nullptr;
    std::unique_ptr<PairingWindow> m_ownPairingWindow;
    QFileDialog* m_fileDialog = nullptr;
    QAction* m_undoAction = nullptr;
    // The confirmation of an undo while it is open, else null.
    QMessageBox* m_undoBox = nullptr;
    KeyFileReader* m_keyFileReader = nullptr;
    KeyLabels m_keyLabels;
    // The last press shown, to show again in other key names.
    std::optional<std::pair<InputChange, int>> m_received;
    // Whether the serial is shown with the two spaces a device change leaves after it.
    bool m_serialSpaces = false;
    // Under the serial until another device is shown: the write history could not be written.
    QString m_historyNote;
    // Set while the widgets are brought in line with the record: their change signals are the
    // window's own then, not the user's.
    bool m_showing = false;
};

}  // namespace tavrel
