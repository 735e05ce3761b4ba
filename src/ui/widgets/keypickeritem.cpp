#include "ui/widgets/keypickeritem.h"

#include "ui/widgets/pictures.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

namespace {
// Room for the selection frame around the picture.
constexpr int FrameMargin = 3;
}  // namespace

KeyPickerItem::KeyPickerItem(const QString& pictureName, QWidget* parent)
    : QAbstractButton(parent), m_picture(pictureName)
{
    setCheckable(true);
    // The picker takes the focus for its arrow keys; the items leave it where it is.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setContentsMargins(FrameMargin, FrameMargin, FrameMargin, FrameMargin);
}

void KeyPickerItem::setReceived(bool received)
{
    if (received == m_received)
        return;
    m_received = received;
    // The style sheet tells the received key apart by the property; it is read at polish time.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void KeyPickerItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= isChecked() ? QStyle::State_On : QStyle::State_Off;
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    const QRect area = contentsRect();
    const QPixmap pixmap = picturePixmap(m_picture, area.size(), devicePixelRatioF());
    if (!pixmap.isNull())
        painter.drawPixmap(area.topLeft(), pixmap);
}

}  // namespace tavrel::ui
