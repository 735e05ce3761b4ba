#pragma once
// A band across the top of a borderless window by which the user drags the window. Presses that
// its children take (buttons, links) stay theirs; the rest move the window.

#include <QPoint>
#include <QWidget>

namespace tavrel::ui {

class ToolBarBand : public QWidget {
    Q_OBJECT
public:
    explicit ToolBarBand(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Set while the band moves the window itself, where the window system cannot.
    bool m_dragging = false;
    QPoint m_pressGlobal;
    QPoint m_windowAtPress;
};

}  // namespace tavrel::ui
