#pragma once
// A one-line text whose letters are filled with a linear gradient running from the top of the
// widget to its bottom (or along the given direction). When clickable it shows the hand-point
// cursor and emits clicked(), as the web link does.

#include <QColor>
#include <QGradientStops>
#include <QPointF>
#include <QWidget>

namespace tavrel::ui {

class GradientText : public QWidget {
    Q_OBJECT
public:
    explicit GradientText(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // Stops at positions 0..1; one stop paints a single colour.
    void setGradientStops(const QGradientStops& stops);
    QGradientStops gradientStops() const { return m_stops; }
    // Start and end of the gradient in fractions of the widget's size; top to bottom by default.
    void setGradientDirection(const QPointF& start, const QPointF& end);

    // A copy of the text in this colour drawn beneath it at the offset, so that a light text
    // stands out on a coloured band; none while the colour is invalid.
    void setShadow(const QColor& color, const QPointF& offset = QPointF(1, 1));
    QColor shadowColor() const { return m_shadow; }

    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_alignment; }

    void setFontSize(int pixelSize);
    void setFontFamily(const QString& family);

    void setClickable(bool clickable);
    bool isClickable() const { return m_clickable; }

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_text;
    QGradientStops m_stops;
    QPointF m_start{0, 0};
    QPointF m_end{0, 1};
    QColor m_shadow;
    QPointF m_shadowOffset{1, 1};
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_clickable = false;
    bool m_pressed = false;
};

}  // namespace tavrel::ui
