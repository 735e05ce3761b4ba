#pragma once
// One key of the key picker: a checkable button showing a picture that fills it, a hand-point
// cursor, and a frame the style sheet draws while it is checked (the selected key), and another
// while it is the key whose record the device was last heard sending.

#include <QAbstractButton>

namespace tavrel::ui {

class KeyPickerItem : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool received READ isReceived)
public:
    KeyPickerItem(const QString& pictureName, QWidget* parent = nullptr);

    QString picture() const { return m_picture; }
    bool isReceived() const { return m_received; }
    void setReceived(bool received);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_picture;
    bool m_received = false;
};

}  // namespace tavrel::ui
