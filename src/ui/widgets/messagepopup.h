#pragma once
// A message shown inside its window, above everything else, with an icon ("icon"), a text
// ("message") and an "OK" button ("okButton"). While it is open the rest of the window is
// disabled; OK closes it and emits closed(1). A short text keeps the popup at its 244 x 146; a
// longer one wraps and the popup grows to show all of it, kept inside the window.

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace tavrel::ui {

class PictureView;

class MessagePopup : public QWidget {
    Q_OBJECT
public:
    // Usually the window itself is the parent; any widget of the window will do.
    explicit MessagePopup(QWidget* window);
    ~MessagePopup() override;

    void setText(const QString& text);
    QString text() const;
    // The picture beside the text, by name ("PopupIcon" at first).
    void setIcon(const QString& picture);

    // The popup opens centred horizontally on the target, just below it, kept inside the
    // window; without a target it opens in the middle of the window.
    void setPlacementTarget(QWidget* target) { m_target = target; }
    QWidget* placementTarget() const { return m_target; }

    // Opens the popup and returns at once; does nothing while it is open.
    void open();
    bool isOpen() const { return m_open; }

    PictureView* icon() const { return m_icon; }
    QLabel* label() const { return m_label; }
    QPushButton* okButton() const { return m_ok; }

signals:
    void closed(int result);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fitToText();
    void placeOnTarget();
    void close(int result);

    PictureView* m_icon = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_ok = nullptr;
    QPointer<QWidget> m_target;
    bool m_open = false;
    QList<QPointer<QWidget>> m_disabled;
    QPointer<QWidget> m_previousFocus;
};

}  // namespace tavrel::ui
