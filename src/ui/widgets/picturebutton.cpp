#include "ui/widgets/picturebutton.h"

#include "ui/widgets/fonts.h"
#include "ui/widgets/pictures.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

namespace {
constexpr int Spacing = 4;
}  // namespace

PictureButton::PictureButton(const QString& text, const QString& pictureName, QWidget* parent)
    : QToolButton(parent), m_picture(pictureName)
{
    setText(text);
    // A click takes the focus, as the window's other buttons do: out of the capture box, too.
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void PictureButton::setPicture(const QString& name)
{
    m_picture = name;
    update();
}

void PictureButton::setPictureSize(int size)
{
    m_pictureSize = qMax(0, size);
    updateGeometry();
    update();
}

void PictureButton::setPadding(int padding)
{
    m_padding = qMax(0, padding);
    updateGeometry();
    update();
}

void PictureButton::setPicturePlacement(PicturePlacement placement)
{
    m_placement = placement;
    update();
}

void PictureButton::setFontSize(int pixelSize)
{
    tavrel::ui::setFontSize(this, pixelSize);
    updateGeometry();
    update();
}

bool PictureButton::pictureAbove() const
{
    if (m_placement != PicturePlacement::Auto)
        return m_placement == PicturePlacement::Above;
    const int needed = 2 * m_padding + m_pictureSize + Spacing + fontMetrics().height();
    return height() >= needed;
}

QSize PictureButton::sizeHint() const
{
    // The room the picture and the text need as they are laid out at the button's height.
    ensurePolished();
    const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
    if (pictureAbove())
        return QSize(qMax(m_pictureSize, textSize.width()), m_pictureSize + Spacing + textSize.height())
               + QSize(2 * m_padding, 2 * m_padding);
    return QSize(m_pictureSize + Spacing + textSize.width(), qMax(m_pictureSize, textSize.height()))
           + QSize(2 * m_padding, 2 * m_padding);
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    if (isDown())
        option.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    const QRect area = rect().adjusted(m_padding, m_padding, -m_padding, -m_padding);
    const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
    const int side = qMin(m_pictureSize, qMin(area.width(), area.height()));
    const QPixmap pixmap = picturePixmap(m_picture, QSize(side, side), devicePixelRatioF());
    const int pictureSide = pixmap.isNull() ? 0 : side;

    QRect pictureRect;
    QRect textRect;
    if (pictureAbove()) {
        const int total = pictureSide + (pictureSide ? Spacing : 0) + textSize.height();
        const int top = area.top() + (area.height() - total) / 2;
        pictureRect = QRect(area.left() + (area.width() - pictureSide) / 2, top, pictureSide, pictureSide);
        textRect = QRect(area.left(), top + total - textSize.height(), area.width(), textSize.height());
    } else {
        const int gap = pictureSide ? Spacing : 0;
        const int total = qMin(area.width(), pictureSide + gap + textSize.width());
        const int left = area.left() + (area.width() - total) / 2;
        pictureRect = QRect(left, area.top() + (area.height() - pictureSide) / 2, pictureSide, pictureSide);
        textRect = QRect(left + pictureSide + gap, area.top(), qMax(0, total - pictureSide - gap), area.height());
    }

    if (!isEnabled())
        painter.setOpacity(0.45);
    if (pictureSide > 0)
        painter.drawPixmap(pictureRect.topLeft(), pixmap);
    painter.setOpacity(1.0);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignCenter, text());
}

}  // namespace tavrel::ui
