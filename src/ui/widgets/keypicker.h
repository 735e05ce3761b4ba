#pragma once
// The key picker: a row of picture items from the left, one per key of the device, each as
// high as the picker. Its current index is the selected key (-1 while it has no items); the
// selection stays shown without focus. A click on an item (or Left, Right, Home, End while the
// picker has the focus) moves the selection first and then emits keyClicked(), so whoever shows
// the selected key always hears of a change the user made.

#include <QList>
#include <QPointer>
#include <QWidget>

class QButtonGroup;

namespace tavrel::ui {

class KeyPickerItem;

class KeyPicker : public QWidget {
    Q_OBJECT
public:
    explicit KeyPicker(QWidget* parent = nullptr);

    // Removes every item; the selection becomes -1.
    void clear();

    // Between these the items are not laid out; the calls nest.
    void beginUpdate();
    void endUpdate();

    // Appends an item named objectName (so findChild finds it) showing the named picture.
    QWidget* addItem(const QString& objectName, const QString& pictureName, int width);

    int count() const { return int(m_items.size()); }
    QWidget* item(int index) const;

    // The item marked as the key the device was last heard sending, or -1.
    int receivedIndex() const { return m_received; }
    void setReceivedIndex(int index);

    int currentIndex() const { return m_index; }
    // An index outside the items selects nothing (-1).
    void setCurrentIndex(int index);

signals:
    void keyClicked();
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void relayout();
    void selectByUser(int index);

    QList<QPointer<KeyPickerItem>> m_items;
    // The items by their index, the id.
    QButtonGroup* m_group;
    int m_index = -1;
    int m_received = -1;
    int m_updateDepth = 0;
};

}  // namespace tavrel::ui
