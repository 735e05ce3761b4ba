#include "ui/widgets/fonts.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
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
        // The windows' own font is the family the desktop's generic sans resolves to, named: Qt
        // then finds it at once for every size the windows use, instead of resolving the
        // generic name through fontconfig's fallback list again for each of them.
        QFont font = QApplication::font();
        font.setFamily(QFontInfo(font).family());
        QApplication::setFont(font);
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
