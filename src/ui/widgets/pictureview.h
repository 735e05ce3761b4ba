#pragma once
// Shows one of the program's pictures by name, scaled to fit its rectangle with the proportions
// kept. It takes no mouse input: clicks go to the widget beneath.

#include <QWidget>

namespace tavrel::ui {

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);
    PictureView(const QString& pictureName, QWidget* parent = nullptr);

    // Names are looked up without regard to case; an unknown name shows nothing.
    void setPicture(const QString& name);
    QString picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_picture;
};

}  // namespace tavrel::ui
