#pragma once
// One key of the key picker: a picture filling the item, a hand-point cursor, and a frame the
// style sheet draws while the item is selected, and another while it is the key whose record the
// device was last heard sending.

#include <QWidget>

namespace tavrel::ui {

class KeyPickerItem : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool selected READ isSelected)
    Q_PROPERTY(bool received READ isReceived)
public:
    KeyPickerItem(const QString& pictureName, QWidget* parent = nullptr);

    QString picture() const { return m_picture; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    bool isReceived() const { return m_received; }
    void setReceived(bool received);

signals:
    // A click of the left mouse button inside the item.
    void pressedByUser();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_picture;
    bool m_selected = false;
    bool m_received = false;
    bool m_pressed = false;
};

}  // namespace tavrel::ui
