#pragma once
// A round push button with its text centred; the style sheet draws the disc. Only presses
// inside the ellipse count.

#include <QPushButton>

namespace tavrel::ui {

class CircleButton : public QPushButton {
    Q_OBJECT
public:
    explicit CircleButton(const QString& text, QWidget* parent = nullptr);

    void setFontFamily(const QString& family);
    void setFontSize(int pixelSize);

protected:
    bool hitButton(const QPoint& pos) const override;
};

}  // namespace tavrel::ui
