#include "ui/widgets/closebutton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

CloseButton::CloseButton(QWidget* parent, Action action) : QToolButton(parent), m_action(action)
{
    resize(20, 20);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, &CloseButton::act);
}

void CloseButton::act()
{
    switch (m_action) {
    case Action::Close:
        window()->close();
        break;
    case Action::Hide:
        window()->hide();
        break;
    case Action::None:
        break;
    }
}

void CloseButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = palette().color(foregroundRole());
    painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QRectF cross = QRectF(rect()).adjusted(6, 6, -6, -6);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
}

}  // namespace tavrel::ui
