#include "ui/widgets/circlebutton.h"

#include "ui/widgets/fonts.h"

namespace tavrel::ui {

CircleButton::CircleButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

void CircleButton::setFontFamily(const QString& family)
{
    tavrel::ui::setFontFamily(this, family);
}

void CircleButton::setFontSize(int pixelSize)
{
    tavrel::ui::setFontSize(this, pixelSize);
}

bool CircleButton::hitButton(const QPoint& pos) const
{
    const double rx = width() / 2.0;
    const double ry = height() / 2.0;
    if (rx <= 0 || ry <= 0)
        return false;
    const double dx = (pos.x() + 0.5 - rx) / rx;
    const double dy = (pos.y() + 0.5 - ry) / ry;
    return dx * dx + dy * dy <= 1.0;
}

}  // namespace tavrel::ui
