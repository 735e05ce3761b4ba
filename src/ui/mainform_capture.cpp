// Keyboard capture: loading the hook library at start-up, switching it with the capture box's
// focus, and turning its messages into a combination stored in the selected key.
#include "ui/mainform.h"

#include "platform/hooklibrary.h"
#include "platform/hookmessagefilter.h"
#include "platform/keynametext.h"
#include "ui/errorbox.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>

namespace tavrel {

void TMainForm::FormCreate()
{
    readKeyLabels();
    // The hook library and "TestHook"; the first failure ends start-up here, and the window
    // runs on without capture.
    try {
        platform::KeyboardHook hook = platform::setUpKeyboardHook(quint32(winId()));
        m_hook = std::move(hook.library);
        m_testHook = std::move(hook.mapping);
    } catch (const std::exception& e) {
        postErrorBox(QString::fromUtf8(e.what()));
        return;
    }
    m_hookFilter = std::make_unique<platform::HookMessageFilter>(m_testHook->token(),
        [this](const platform::HookMessage& m) { hookMessage(m.message, m.wParam, m.lParam); });
    QCoreApplication::instance()->installNativeEventFilter(m_hookFilter.get());

    for (int i = 1; i <= 7; ++i)
        WriteFields[std::size_t(i)] = findChild<QLineEdit*>(QStringLiteral("Write%1").arg(i));
}

void TMainForm::FormClose()
{
    hookOff();
}

void TMainForm::hookOff()
{
    if (m_hook)
        m_hook->HookOff();
    m_session->stopCapture();
}

void TMainForm::TextBox1EnterFocus()
{
    // The user may have switched layouts since; what they press now is named in the one in use.
    readKeyLabels();
    m_session->startCapture();
    if (m_hook)
        platform::switchCaptureOn(*m_hook, m_testHook.get());
}

void TMainForm::TextBox1KillFocus()
{
    hookOff();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TextBox1) {
        if (event->type() == QEvent::FocusIn)
            guarded([this] { TextBox1EnterFocus(); });
        else if (event->type() == QEvent::FocusOut)
            guarded([this] { TextBox1KillFocus(); });
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::changeEvent(QEvent* event)
{
    // Alt+Tab away in the middle of a combination: its release goes to another window.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_session->stopCapture();
    else if (event->type() == QEvent::ActivationChange)
        readKeyLabels();
    QWidget::changeEvent(event);
}

void TMainForm::hookMessage(quint32 message, quint32 wParam, quint32 lParam)
{
    // Keys pressed while another window is active are not meant for the capture box.
    if (QApplication::activeWindow() != this)
        return;
    const std::optional<KeyEvent> event = decodeHookMessage(message, wParam, lParam, &platform::keyNameText);
    if (event)
        m_session->captureKey(*event);
}

void TMainForm::showCombination(const TakenCombination& taken, const QString& trace)
{
    TextBox1->setText(m_keyLabels.relabel(taken.text));
    {
        const QSignalBlocker block(Edit1);
        Edit1->setText(taken.codes);
    }
    Edit4->setText(QString::number(m_session->selectedKey()));
    Edit2->setText(trace);
}

}  // namespace tavrel
