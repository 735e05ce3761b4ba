#include "ui/widgets/tabitem.h"

#include "ui/widgets/fonts.h"
#include "ui/widgets/pictureview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

TabItem::TabItem(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    setCursor(Qt::PointingHandCursor);
}

void TabItem::setText(const QString& text)
{
    m_text = text;
    update();
}

void TabItem::setFontSize(int pixelSize)
{
    tavrel::ui::setFontSize(this, pixelSize);
    update();
}

void TabItem::setIcon(const QString& pictureName, const QRect& geometry)
{
    if (!m_icon)
        m_icon = new PictureView(this);
    m_icon->setPicture(pictureName);
    m_icon->setGeometry(geometry);
    m_icon->show();
}

void TabItem::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    // The style sheet tells selected tabs apart by the property; it is read at polish time.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void TabItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}

void TabItem::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void TabItem::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clicked = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (!clicked)
        return;
    QPointer<TabItem> self(this);
    emit click();
    if (self)
        emit activated();
}

}  // namespace tavrel::ui
