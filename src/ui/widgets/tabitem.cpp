#include "ui/widgets/tabitem.h"

#include "ui/widgets/fonts.h"
#include "ui/widgets/pictures.h"

#include <QLabel>

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace tavrel::ui {

TabItem::TabItem(const QString& text, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    // The focus stays where it is, in the capture box above all.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void TabItem::setFontSize(int pixelSize)
{
    tavrel::ui::setFontSize(this, pixelSize);
    update();
}

void TabItem::setIcon(const QString& pictureName, const QRect& geometry)
{
    if (!m_icon)
        m_icon = new QLabel(this);
    m_icon->setGeometry(geometry);
    showPicture(m_icon, pictureName);
    m_icon->show();
}

void TabItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The style sheet's rules for the tab, :checked among them, and its colour for the caption.
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= isChecked() ? QStyle::State_On : QStyle::State_Off;
    option.text = text();
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);
}

}  // namespace tavrel::ui
