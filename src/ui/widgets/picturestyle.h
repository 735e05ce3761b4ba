#pragma once
// The application's style: Qt's own, except that a label showing one of the program's pictures
// shows it in its colours when disabled, as the window's drawings stay while a message is open
// over it. Set on the application before its style sheet.

#include <QProxyStyle>

namespace tavrel::ui {

class PictureStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    QPixmap generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap, const QStyleOption* option) const override;
};

}  // namespace tavrel::ui
