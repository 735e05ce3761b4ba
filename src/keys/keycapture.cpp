#include "keys/keycapture.h"

#include "keys/hookinterface.h"
#include "keys/keynames.h"

namespace tavrel {

std::optional<KeyEvent> decodeHookMessage(quint32 message, quint32 wParam, quint32 lParam, KeyNameFunction keyName)
{
    if (message == HookKeyMessage) {
        KeyTransition transition = KeyTransition::Down;
        if (lParam & keystroke::Released)
            transition = KeyTransition::Up;
        else if (lParam & keystroke::PreviousState)
            transition = KeyTransition::AutoRepeat;
        return KeyEvent{transition, keyName(lParam).left(MaxKeyNameLength)};
    }

    QString name;
    switch (message) {
    case HookLeftWindowsMessage:
        name = QStringLiteral("Left Windows");
        break;
    case HookRightWindowsMessage:
        name = QStringLiteral("Right Windows");
        break;
    case HookMenuKeyMessage:
        name = QStringLiteral("Application");
        break;
    default:
        return std::nullopt;
    }
    if (wParam == KeyDownWParam)
        return KeyEvent{KeyTransition::Down, name};
    if (wParam == KeyUpWParam)
        return KeyEvent{KeyTransition::Up, name};
    return std::nullopt;
}

void KeyCapture::keyDown(const QString& name)
{
    m_pressedKeys.append(name);
    if (m_pressedKeys.size() <= MaxKeys) {
        m_captureState = int(m_pressedKeys.size());
    } else {
        m_pressedKeys.clear();
        m_captureState = 0;
    }
}

std::optional<TakenCombination> KeyCapture::keyUp(const QString& name)
{
    if (m_pressedKeys.isEmpty())
        return std::nullopt;

    std::optional<TakenCombination> taken;
    if (m_captureState >= 1 && m_captureState <= MaxKeys) {
        QStringList usages;
        for (const QString& key : m_pressedKeys.mid(0, m_captureState))
            usages.append(QString::number(usageForName(key)));
        taken = TakenCombination{m_pressedKeys.join(QLatin1Char('+')), usages.join(QLatin1Char('-')), m_pressedKeys};
    }

    // A release of a key that is not held leaves the list and the state as they are, so the
    // held keys are taken again at the next release.
    const qsizetype at = m_pressedKeys.indexOf(name);
    if (at >= 0) {
        m_pressedKeys.removeAt(at);
        m_captureState = 0;
    }
    return taken;
}

std::optional<TakenCombination> KeyCapture::handle(const KeyEvent& event)
{
    switch (event.transition) {
    case KeyTransition::Down:
        keyDown(event.name);
        break;
    case KeyTransition::AutoRepeat:
        break;
    case KeyTransition::Up:
        return keyUp(event.name);
    }
    return std::nullopt;
}

}  // namespace tavrel
