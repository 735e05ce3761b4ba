#pragma once
// The wireless pairing window: binds one transmitter at a time to the selected receiver within a
// ten-second window, clears all bindings, and shows the receiver's answers.

#include "config/reports.h"

#include <QWidget>

class QAbstractButton;

class QPlainTextEdit;

namespace tavrel {

class DeviceSession;

namespace ui {
}  // namespace ui

class PairingWindow : public QWidget {
    Q_OBJECT
public:
    explicit PairingWindow(DeviceSession* session, QWidget* parent = nullptr);

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
    // The messages' last line becomes `text`, and the messages scroll to it.
    void replaceLastMessage(const QString& text);
    void appendMessage(const QString& text);

    QAbstractButton* m_bindButton = nullptr;
    QAbstractButton* m_clearButton = nullptr;
    // The instructions, then what the receiver answered.
    QPlainTextEdit* m_messages = nullptr;

    DeviceSession* m_session;
};

// The instructions shown when the window opens, for a receiver that binds `capacity` transmitters.
QString pairingInstructions(int capacity);

}  // namespace tavrel
