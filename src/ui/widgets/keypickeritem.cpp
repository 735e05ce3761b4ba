#include "ui/widgets/keypickeritem.h"

#include "ui/widgets/pictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

namespace {
// Room for the selection frame around the picture.
constexpr int FrameMargin = 3;
}  // namespace

KeyPickerItem::KeyPickerItem(const QString& pictureName, QWidget* parent)
    : QWidget(parent), m_picture(pictureName)
{
    setCursor(Qt::PointingHandCursor);
    setContentsMargins(FrameMargin, FrameMargin, FrameMargin, FrameMargin);
}

void KeyPickerItem::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void KeyPickerItem::setReceived(bool received)
{
    if (received == m_received)
        return;
    m_received = received;
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void KeyPickerItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    const QRect area = contentsRect();
    const QPixmap pixmap = picturePixmap(m_picture, area.size(), devicePixelRatioF());
    if (!pixmap.isNull())
        painter.drawPixmap(area.topLeft(), pixmap);
}

void KeyPickerItem::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void KeyPickerItem::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clicked = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (clicked)
        emit pressedByUser();
}

}  // namespace tavrel::ui
