#pragma once
// A button with a picture and a caption, the picture above the caption when the button is
// high enough for both and beside it otherwise. Picture size and padding are settable; the
// hint is the ordinary tool tip.

#include <QToolButton>

namespace tavrel::ui {

class PictureButton : public QToolButton {
    Q_OBJECT
public:
    enum class PicturePlacement { Auto, Above, Beside };

    PictureButton(const QString& text, const QString& pictureName, QWidget* parent = nullptr);

    void setPicture(const QString& name);
    QString picture() const { return m_picture; }

    void setPictureSize(int size);
    int pictureSize() const { return m_pictureSize; }

    void setPadding(int padding);
    int padding() const { return m_padding; }

    void setPicturePlacement(PicturePlacement placement);
    PicturePlacement picturePlacement() const { return m_placement; }

    void setFontSize(int pixelSize);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool pictureAbove() const;

    QString m_picture;
    int m_pictureSize = 24;
    int m_padding = 2;
    PicturePlacement m_placement = PicturePlacement::Auto;
};

}  // namespace tavrel::ui
