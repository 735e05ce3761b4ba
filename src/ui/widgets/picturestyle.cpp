#include "ui/widgets/picturestyle.h"

#include "ui/widgets/pictures.h"

#include <QLabel>
#include <QStyleOption>

namespace tavrel::ui {

QPixmap PictureStyle::generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap, const QStyleOption* option) const
{
    // A disabled label greys its pixmap through here; a picture is a drawing, not a control.
    const auto* label = option ? qobject_cast<const QLabel*>(option->styleObject) : nullptr;
    if (mode == QIcon::Disabled && label && !shownPicture(label).isEmpty())
        return pixmap;
    return QProxyStyle::generatedIconPixmap(mode, pixmap, option);
}

}  // namespace tavrel::ui
