#include "keys/capture.h"

#include "keys/hookmessages.h"
#include "keys/keynames.h"

namespace tavrel {

std::optional<KeyEvent> decodeHookMessage(quint32 message, quint32 wParam, quint32 lParam,
                                          KeyNameFunction keyName)
{
    if (message == WM_HOOKKEY) {
        KeyTransition transition = KeyTransition::Down;
        if (lParam & keystroke::Released)
            transition = KeyTransition::Up;
        else if (lParam & keystroke::PreviousState)
            transition = KeyTransition::AutoRepeat;
        return KeyEvent{transition, keyName(lParam).left(MaxKeyNameLength)};
    }

    QString name;
    switch (message) {
    case WM_HOOKLWIN: name = QStringLiteral("Left Windows"); break;
    case WM_HOOKRWIN: name = QStringLiteral("Right Windows"); break;
    case WM_HOOKAPPS: name = QStringLiteral("Application"); break;
    default: return std::nullopt;
    }
    if (wParam == WM_KEYDOWN)
        return KeyEvent{KeyTransition::Down, name};
    if (wParam == WM_KEYUP)
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
            usages.append(changekey(key));
        taken = TakenCombination{m_pressedKeys.join(QLatin1Char('+')),
                                 usages.join(QLatin1Char('-')), m_pressedKeys};
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
    case KeyTransition::Down: keyDown(event.name); break;
    case KeyTransition::AutoRepeat: break;
    case KeyTransition::Up: return keyUp(event.name);
    }
    return std::nullopt;
}

EncoderTexts Edit1Change(KeyTable& table, int s, const QString& captureText,
                         const QStringList& pressedKeys)
{
    EncoderTexts texts{QString::number(s), QString()};
    const bool stored = KeyTable::validKey(s);
    if (stored)
        table.KeyText[s] = captureText;

    bool modifierSeen = false;
    bool ordinarySeen = false;
    for (const QString& name : pressedKeys) {
        const int u = changekey(name).toInt();
        if (!stored) {
            texts.Edit2 += QLatin1Char('|') + QString::number(u);
            continue;
        }

        QString& modifiers = table.field(s, Field::Modifiers);
        if (u >= FirstModifierUsage && u <= LastModifierUsage) {
            if (!modifierSeen)
                modifiers = QStringLiteral("00");
            modifierSeen = true;
            modifiers = hexByte(quint8((1u << (u - FirstModifierUsage)) | fieldToByte(modifiers)));
        } else if (u != 0) {
            if (!modifierSeen)
                modifiers = QStringLiteral("00");
            ordinarySeen = true;
            table.field(s, Field::Code1) = hexByte(quint8(u));
            table.field(s, Field::Code2) = QStringLiteral("00");
            table.field(s, Field::Code3) = QStringLiteral("00");
        }
        const QStringList fields{modifiers, table.field(s, Field::Code1),
                                 table.field(s, Field::Code2), table.field(s, Field::Code3)};
        texts.Edit2 = fields.join(QLatin1Char('-'));
    }
    // Modifiers alone (a pedal that acts as Shift) carry no key: the codes held before must not
    // go out with them.
    if (stored && modifierSeen && !ordinarySeen) {
        for (Field f : {Field::Code1, Field::Code2, Field::Code3})
            table.field(s, f) = QStringLiteral("00");
        texts.Edit2 = QStringList{table.field(s, Field::Modifiers), table.field(s, Field::Code1),
                                  table.field(s, Field::Code2), table.field(s, Field::Code3)}
                          .join(QLatin1Char('-'));
    }
    return texts;
}

}  // namespace tavrel
