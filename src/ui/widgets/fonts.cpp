#include "ui/widgets/fonts.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

namespace tavrel::ui {

void installFontSubstitutes()
{
    static const bool installed = [] {
        const QStringList cjkSans{QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                                  QStringLiteral("Source Han Sans SC"), QStringLiteral("Droid Sans Fallback"),
                                  QStringLiteral("Sans Serif")};
        QFont::insertSubstitutions(QStringLiteral("黑体"), cjkSans);
        QFont::insertSubstitutions(QStringLiteral("微软雅黑"), cjkSans);
        return true;
    }();
    (void)installed;
}

void setFontSize(QWidget* widget, int pixelSize)
{
    QFont font = widget->font();
    font.setPixelSize(qMax(1, pixelSize));
    widget->setFont(font);
}

void setFontFamily(QWidget* widget, const QString& family)
{
    installFontSubstitutes();
    QFont font = widget->font();
    font.setFamily(family);
    widget->setFont(font);
}

}  // namespace tavrel::ui
