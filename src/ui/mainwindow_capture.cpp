// Keyboard capture: loading the hook library at start-up, switching it with the capture box's
// focus, and turning its messages into a combination stored in the selected key.
#include "ui/mainwindow.h"

#include "platform/hooklibrary.h"
#include "platform/hookmessagefilter.h"
#include "platform/keynametext.h"
#include "ui/errorbox.h"
#include "ui/windowlog.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>

namespace tavrel {

void MainWindow::setUpCapture()
{
    // The hook library and "TestHook"; the first failure ends start-up here, and the window
    // runs on without capture.
    platform::KeyboardHook hook = platform::setUpKeyboardHook(quint32(winId()));
    if (!hook.outcome.ok()) {
        qCWarning(lcWindow) << "Keyboard capture is off:" << hook.outcome.message;
        postErrorBox(failureText(hook.outcome));
        return;
    }
    m_hook = std::move(hook.library);
    m_testHook = std::move(hook.memory);
    m_hookFilter =
        std::make_unique<platform::HookMessageFilter>(m_testHook->token(), [this](const platform::HookMessage& m) {
            handleHookMessage(m.message, m.wParam, m.lParam);
        });
    QCoreApplication::instance()->installNativeEventFilter(m_hookFilter.get());
}

void MainWindow::stopCapture()
{
    if (m_hook)
        m_hook->HookOff();
    m_editor->stopCapture();
}

void MainWindow::startCapture()
{
    // The user may have switched layouts since; what they press now is named in the one in use.
    readKeyLabels();
    m_editor->startCapture();
    if (m_hook)
        platform::switchCaptureOn(*m_hook, m_testHook.get());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_captureBox) {
        if (event->type() == QEvent::FocusIn)
            startCapture();
        else if (event->type() == QEvent::FocusOut)
            stopCapture();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::changeEvent(QEvent* event)
{
    // Alt+Tab away in the middle of a combination: its release goes to another window.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_editor->stopCapture();
    else if (event->type() == QEvent::ActivationChange)
        readKeyLabels();
    QWidget::changeEvent(event);
}

void MainWindow::handleHookMessage(quint32 message, quint32 wParam, quint32 lParam)
{
    // Keys pressed while another window is active are not meant for the capture box.
    if (QApplication::activeWindow() != this)
        return;
    const std::optional<KeyEvent> event = decodeHookMessage(message, wParam, lParam, &platform::keyNameText);
    if (event)
        m_editor->captureKey(*event);
}

void MainWindow::showCombination(const TakenCombination& taken)
{
    m_captureBox->setText(m_keyLabels.relabel(taken.text));
}

}  // namespace tavrel
