#include "ui/widgets/pictureview.h"

#include "ui/widgets/pictures.h"

#include <QPainter>

namespace tavrel::ui {

PictureView::PictureView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

PictureView::PictureView(const QString& pictureName, QWidget* parent) : PictureView(parent)
{
    m_picture = pictureName;
}

void PictureView::setPicture(const QString& name)
{
    if (name == m_picture)
        return;
    m_picture = name;
    update();
}

void PictureView::paintEvent(QPaintEvent*)
{
    const QPixmap pixmap = picturePixmap(m_picture, size(), devicePixelRatioF());
    if (pixmap.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, pixmap);
}

}  // namespace tavrel::ui
