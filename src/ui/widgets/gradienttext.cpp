#include "ui/widgets/gradienttext.h"

#include "ui/widgets/fonts.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace tavrel::ui {

GradientText::GradientText(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GradientText::setText(const QString& text)
{
    m_text = text;
    updateGeometry();
    update();
}

void GradientText::setGradientStops(const QGradientStops& stops)
{
    m_stops = stops;
    update();
}

void GradientText::setGradientDirection(const QPointF& start, const QPointF& end)
{
    m_start = start;
    m_end = end;
    update();
}

void GradientText::setShadow(const QColor& color, const QPointF& offset)
{
    m_shadow = color;
    m_shadowOffset = offset;
    update();
}

void GradientText::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void GradientText::setFontSize(int pixelSize)
{
    tavrel::ui::setFontSize(this, pixelSize);
    updateGeometry();
    update();
}

void GradientText::setFontFamily(const QString& family)
{
    tavrel::ui::setFontFamily(this, family);
    updateGeometry();
    update();
}

void GradientText::setClickable(bool clickable)
{
    m_clickable = clickable;
    // A plain text lets presses through to the band beneath, so the window can be dragged by it.
    setAttribute(Qt::WA_TransparentForMouseEvents, !clickable);
    if (clickable)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

QSize GradientText::sizeHint() const
{
    return fontMetrics().size(Qt::TextSingleLine, m_text);
}

void GradientText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QSizeF size = QSizeF(this->size());
    QBrush brush;
    if (m_stops.isEmpty()) {
        brush = palette().color(foregroundRole());
    } else if (m_stops.size() == 1) {
        brush = m_stops.first().second;
    } else {
        QLinearGradient gradient(QPointF(m_start.x() * size.width(), m_start.y() * size.height()),
                                 QPointF(m_end.x() * size.width(), m_end.y() * size.height()));
        gradient.setStops(m_stops);
        brush = gradient;
    }
    // Line feeds start new lines; everything else stays on its line.
    const int flags = int(m_alignment) | (m_text.contains(QLatin1Char('\n')) ? 0 : int(Qt::TextSingleLine));
    if (m_shadow.isValid()) {
        painter.setPen(m_shadow);
        painter.drawText(QRectF(rect()).translated(m_shadowOffset), flags, m_text);
    }
    painter.setPen(QPen(brush, 1));
    painter.drawText(rect(), flags, m_text);
}

void GradientText::mousePressEvent(QMouseEvent* event)
{
    m_pressed = m_clickable && event->button() == Qt::LeftButton;
    event->setAccepted(m_clickable);
}

void GradientText::mouseReleaseEvent(QMouseEvent* event)
{
    const bool released =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->setAccepted(m_clickable);
    if (released)
        emit clicked();
}

}  // namespace tavrel::ui
