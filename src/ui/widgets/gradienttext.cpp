#include "ui/widgets/gradienttext.h"

#include <QLinearGradient>
#include <QPainter>

namespace tavrel::ui {

GradientText::GradientText(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GradientText::setText(const QString& text)
{
    m_text = text;
    update();
}

void GradientText::setGradientStops(const QGradientStops& stops)
{
    m_stops = stops;
    update();
}

void GradientText::setShadow(const QColor& color)
{
    m_shadow = color;
    update();
}

void GradientText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient gradient(QPointF(0, 0), QPointF(0, height()));
    gradient.setStops(m_stops);
    const int flags = int(alignment()) | int(Qt::TextSingleLine);
    if (m_shadow.isValid()) {
        painter.setPen(m_shadow);
        painter.drawText(QRectF(rect()).translated(1, 1), flags, m_text);
    }
    painter.setPen(QPen(QBrush(gradient), 1));
    painter.drawText(rect(), flags, m_text);
}

}  // namespace tavrel::ui
