#pragma once
// Key capture: the names of the keys held down and the combination taken at the first release.
// All pure: the session feeds in the hook library's messages and stores what is taken.

#include <QString>
#include <QStringList>
#include <optional>

namespace tavrel {

enum class KeyTransition { Down, AutoRepeat, Up };

struct KeyEvent {
    KeyTransition transition = KeyTransition::Down;
    QString name;

    bool operator==(const KeyEvent&) const = default;
};

// The platform's key-name function: the keystroke flags of a HookKeyMessage message to a key name.
using KeyNameFunction = QString (*)(quint32 lParam);

// Longest key name taken from the key-name function; longer names are cut.
constexpr int MaxKeyNameLength = 19;

// One message of the hook library as a key event, or nothing for a message that means nothing
// (another message number, or a WParam other than key-down and key-up on the three messages of
// their own).
std::optional<KeyEvent> decodeHookMessage(quint32 message, quint32 wParam, quint32 lParam, KeyNameFunction keyName);

// What a key release gives when a combination is taken.
struct TakenCombination {
    QString text;      // for the capture box: the held names joined with "+", "Ctrl+A"
    QString codes;     // for the diagnostics: their usages joined with "-", "224-4"
    QStringList keys;  // the held names at the release, for the encoder

    bool operator==(const TakenCombination&) const = default;
};

// The held keys and how many of them the next release takes. The caller drops messages that
// arrive while the main window is not the active window before they reach here.
class KeyCapture {
public:
    static constexpr int MaxKeys = 4;

    void keyDown(const QString& name);
    // A combination when this release takes one; the released key leaves pressedKeys either way.
    std::optional<TakenCombination> keyUp(const QString& name);
    // Capture stopped (focus or window lost, hook off, another key or device): keys still held
    // then are never released here, so they are forgotten rather than taken into a later record.
    void reset()
    {
        m_pressedKeys.clear();
        m_captureState = 0;
    }
    // Dispatches on the transition; auto-repeats change nothing.
    std::optional<TakenCombination> handle(const KeyEvent& event);

    // Names of the held keys in the order they went down, a name possibly more than once.
    const QStringList& pressedKeys() const { return m_pressedKeys; }
    // 1 to 4: a combination of that many keys is taken at the next release; 0: nothing to take.
    int captureState() const { return m_captureState; }

private:
    QStringList m_pressedKeys;
    int m_captureState = 0;
};

}  // namespace tavrel
