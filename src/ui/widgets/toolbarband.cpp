#include "ui/widgets/toolbarband.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWindow>

namespace tavrel::ui {

ToolBarBand::ToolBarBand(QWidget* parent) : QWidget(parent) {}

void ToolBarBand::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void ToolBarBand::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    // The window manager's own move feels native and works where windows cannot place
    // themselves (Wayland); where it is not offered, the band moves the window.
    if (QWindow* handle = window()->windowHandle(); handle && handle->startSystemMove())
        return;
    m_dragging = true;
    m_pressGlobal = event->globalPosition().toPoint();
    m_windowAtPress = window()->pos();
}

void ToolBarBand::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        event->ignore();
        return;
    }
    event->accept();
    if (!(event->buttons() & Qt::LeftButton)) {
        m_dragging = false;
        return;
    }
    window()->move(m_windowAtPress + event->globalPosition().toPoint() - m_pressGlobal);
}

void ToolBarBand::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_dragging = false;
    event->accept();
}

}  // namespace tavrel::ui
