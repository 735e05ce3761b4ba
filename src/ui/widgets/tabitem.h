#pragma once
// One tab of a TabControl: a checkable button with a caption centred both ways and an optional
// icon picture placed inside it. The style sheet tells the selected tab apart by :checked.

#include <QAbstractButton>

class QLabel;

namespace tavrel::ui {

class TabItem : public QAbstractButton {
    Q_OBJECT
public:
    explicit TabItem(const QString& text, QWidget* parent = nullptr);

    void setFontSize(int pixelSize);
    // The icon sits at geometry in the item's coordinates and takes no mouse input.
    void setIcon(const QString& pictureName, const QRect& geometry);
    QLabel* iconView() const { return m_icon; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_icon = nullptr;
};

}  // namespace tavrel::ui
