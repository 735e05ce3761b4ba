#pragma once
// The wireless pairing window: binds one transmitter at a time to the selected receiver within a
// ten-second window, clears all bindings, and shows the receiver's answers.

#include "config/reports.h"

#include <QPointer>
#include <QWidget>

class QAbstractButton;

class QPlainTextEdit;

namespace tavrel {

class AttachedDevice;
class DeviceEditor;

namespace ui {
}  // namespace ui

class PairingWindow : public QWidget {
    Q_OBJECT
public:
    // Pairs the receiver `editor` has selected when a button is clicked.
    explicit PairingWindow(DeviceEditor* editor, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onBindClicked();
    void onClearClicked();
    void showInstructions();
    void showCountdown(int secondsLeft);
    void showTimeOut();
    void showBindFailed();
    void showCleared(bool sent);
    // The answer to the binding, whether or not the window is shown.
    void showPairingResponse(const PairingResponse& response);
    // The receiver the buttons act on now, the selected one; null without one. Its answers and
    // countdown are shown from now on; another receiver's bind still open ends.
    AttachedDevice* pairedReceiver();
    // The messages' last line becomes `text`, and the messages scroll to it.
    void replaceLastMessage(const QString& text);
    void appendMessage(const QString& text);

    QAbstractButton* m_bindButton = nullptr;
    QAbstractButton* m_clearButton = nullptr;
    // The instructions, then what the receiver answered.
    QPlainTextEdit* m_messages = nullptr;

    QPointer<DeviceEditor> m_editor;
    // The receiver last asked to bind or clear, whose answers the window shows.
    QPointer<AttachedDevice> m_receiver;
};

// The instructions shown when the window opens, for a receiver that binds `capacity` transmitters.
QString pairingInstructions(int capacity);

}  // namespace tavrel
