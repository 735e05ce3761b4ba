#pragma once
// A one-line text whose letters are filled with a linear gradient running from the top of the
// widget to its bottom, over an optional shadow. Qt's style sheets give a label's text a
// gradient only across each run of letters, not across the widget, and no shadow; so this text
// is painted. It takes no mouse input: presses go to the widget beneath.

#include <QColor>
#include <QGradientStops>
#include <QWidget>

namespace tavrel::ui {

class GradientText : public QWidget {
    Q_OBJECT
public:
    explicit GradientText(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // Stops at positions 0..1 from the top of the widget to its bottom.
    void setGradientStops(const QGradientStops& stops);
    // A copy of the text in this colour drawn one pixel right of and below it, so that a light
    // text stands out on a coloured band.
    void setShadow(const QColor& color);

    Qt::Alignment alignment() const { return Qt::AlignLeft | Qt::AlignVCenter; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QGradientStops m_stops;
    QColor m_shadow;
};

}  // namespace tavrel::ui
