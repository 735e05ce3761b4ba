#pragma once
// Font sizes in the windows are pixel heights, so the fixed pixel layout holds on any screen.
// The Windows family names that the windows ask for ("黑体", "微软雅黑") are mapped to the CJK
// sans fonts a Linux desktop has.

#include <QString>

class QWidget;

namespace tavrel::ui {

// Registers the family substitutes and names the application font's family, once; safe to
// call any number of times, after the application object exists.
void installFontSubstitutes();

void setFontSize(QWidget* widget, int pixelSize);
void setFontFamily(QWidget* widget, const QString& family);

}  // namespace tavrel::ui
