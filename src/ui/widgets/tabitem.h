#pragma once
// One tab of a TabControl: a caption centred both ways and an optional icon picture placed
// inside it. A user's click emits click() first; the tab control selects the item after that.

#include <QWidget>

namespace tavrel::ui {

class PictureView;

class TabItem : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool selected READ isSelected)
public:
    explicit TabItem(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    void setFontSize(int pixelSize);

    // The icon sits at geometry in the item's coordinates and takes no mouse input.
    void setIcon(const QString& pictureName, const QRect& geometry);
    PictureView* iconView() const { return m_icon; }

    bool isSelected() const { return m_selected; }

signals:
    void click();
    // The user asks for this item; its tab control selects it.
    void activated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend class TabControl;
    void setSelected(bool selected);

    QString m_text;
    PictureView* m_icon = nullptr;
    bool m_selected = false;
    bool m_pressed = false;
};

}  // namespace tavrel::ui
