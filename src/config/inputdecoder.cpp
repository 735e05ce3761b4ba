#include "config/inputdecoder.h"

#include "keys/inputcodes.h"
#include "keys/keynames.h"

namespace tavrel {

QList<InputChange> InputDecoder::take(int source, const InputEvent& event, qint64 timeMs)
{
    if (source < 0 || source >= MaxSources)
        return {};
    const auto s = std::size_t(source);
    if (event.type == EventKey) {
        // A frame holds each key at most a few times; a flood beyond that is no key's doing.
        if (event.code <= LastKeyCode && m_frames[s].size() <= LastKeyCode)
            m_frames[s].append(event);
        return {};
    }
    // libevdev follows a SYN_DROPPED with the events that bring what it handed out up to the
    // device's state, ending in a SYN_REPORT: the frame goes on through them.
    if (event.type != EventSync || event.code != SyncReport)
        return {};

    // What was held after the last key went down is the press; a key may go down and up again
    // within one frame.
    const SentInput before = heldInput();
    std::optional<SentInput> pressed;
    bool wentUp = false;
    for (const InputEvent& e : std::exchange(m_frames[s], {})) {
        const Held held{source, e.code};
        const bool isHeld = m_held.contains(held);
        if (e.value == 1 && !isHeld) {
            m_held.append(held);
            // A key another input device of the same device holds already is no new press.
            if (SentInput now = heldInput(); now != before)
                pressed = std::move(now);
        } else if (e.value == 0 && isHeld) {
            m_held.removeOne(held);
            wentUp = true;
        }
    }
    QList<InputChange> changes;
    if (pressed) {
        InputChange press{InputChange::Kind::Press, *pressed, 1};
        if (m_lastPress && m_lastPress->input == press.input && m_lastReleaseMs
            && timeMs - *m_lastReleaseMs <= RepeatGapMs && timeMs >= *m_lastReleaseMs)
            press.presses = m_lastPress->presses + 1;
        m_lastReleaseMs.reset();
        m_lastPress = press;
        changes.append(press);
    }
    if (wentUp && m_held.isEmpty() && m_lastPress && !m_lastReleaseMs) {
        m_lastReleaseMs = timeMs;
        InputChange release = *m_lastPress;
        release.kind = InputChange::Kind::Release;
        changes.append(release);
    }
    return changes;
}

void InputDecoder::forget(int source)
{
    if (source < 0 || source >= MaxSources)
        return;
    m_frames[std::size_t(source)].clear();
    m_held.removeIf([source](const Held& h) { return h.source == source; });
}

SentInput InputDecoder::heldInput() const
{
    // Two input devices of the device holding one key make it held once.
    SentInput input;
    for (const Held& h : m_held) {
        const int usage = usageForKeyCode(h.code);
        const quint8 button = mouseButtonForCode(h.code);
        if (const quint8 bit = modifierBit(usage)) {
            input.modifiers |= bit;
        } else if (usage != 0) {
            if (!input.keys.contains(quint8(usage)))
                input.keys.append(quint8(usage));
        } else if (button != 0) {
            input.buttons |= button;
        } else if (!input.unnamed.contains(h.code)) {
            input.unnamed.append(h.code);
        }
    }
    return input;
}

}  // namespace tavrel
