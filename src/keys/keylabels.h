#pragma once
// Key names as the user's keyboard layout labels the keys. A record holds a key's position (its
// HID usage), whose name in the key-name table is what a US keyboard prints on it; a German
// keyboard prints Z where that says Y. Letters, digits and punctuation take the layout's label;
// Enter, F1, Ctrl and the other keys no layout renames keep the table's name. Records, key files
// and tavrelctl keep the table's names, so that they mean the same on every machine.

#include <QHash>
#include <QString>
#include <functional>

namespace tavrel {

// Whether a layout may label the key at this usage otherwise than the key-name table: the
// letters, the digits and the punctuation keys.
bool layoutLabelsKey(int usage);

class KeyLabels {
public:
    // The key-name table's names throughout.
    KeyLabels() = default;
    // From what each key of the layout types without a modifier, by its input key code: "z",
    // "ß", "^" for a key that puts a circumflex on the next letter; empty for nothing. Letters
    // are shown as capitals, as the table shows them.
    static KeyLabels fromLayout(const std::function<QString(unsigned code)>& unshifted);

    // The name shown for a usage: the layout's label where it has one, otherwise the table's.
    QString name(int usage) const;
    // A text of key names joined by "+" (a record's display text, a captured combination), each
    // name shown as the layout labels it; what is not a key name stays as it is.
    QString relabel(const QString& text) const;

    bool operator==(const KeyLabels& other) const { return m_labels == other.m_labels; }

private:
    QHash<int, QString> m_labels;
};

}  // namespace tavrel
