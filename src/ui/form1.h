#pragma once
// The wireless pairing window: binds one transmitter at a time to the selected receiver within a
// ten-second window, clears all bindings, and shows the receiver's answers.

#include "config/reports.h"

#include <QWidget>

class QTimer;

namespace tavrel {

class DeviceSession;

namespace ui {
class CloseButton;
class GradientText;
class LineMemo;
class PictureButton;
class ToolBarBand;
}  // namespace ui

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(DeviceSession* session, QWidget* parent = nullptr);

    void FormShow();
    void BitmapButton1Click();
    void BitmapButton2Click();
    void Timer1Timer();
    // A pairing response, whether or not a binding runs and whether or not the window is shown.
    void pairingResponse(const PairingResponse& response);

    // Seconds left in the binding window.
    int bindCountdown() const;

    QWidget* Scene1 = nullptr;
    QWidget* Root1 = nullptr;
    ui::LineMemo* Memo1 = nullptr;
    ui::PictureButton* BitmapButton1 = nullptr;
    ui::ToolBarBand* Rectangle1 = nullptr;
    ui::CloseButton* CloseButton1 = nullptr;
    ui::GradientText* Text1 = nullptr;
    ui::PictureButton* BitmapButton2 = nullptr;
    // The session's binding countdown.
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showCountdown(int secondsLeft);
    void showTimeOut();
    void showBindFailed();
    void showCleared(bool sent);

    DeviceSession* m_session;
};

// The instructions shown when the window opens, for a receiver that binds `capacity` transmitters.
QString pairingInstructions(int capacity);

}  // namespace tavrel
