#pragma once
// A message over its window, with an icon ("icon"), a text ("message") and an "OK" button
// ("okButton"): a frameless dialog, modal to its window, which Qt keeps from taking any input
// while the message is open. However it closes, it finishes with the result 1. A short text keeps
// the message at its 244 x 146; a longer one wraps and the message grows to show all of it, kept
// inside the window.

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

namespace tavrel::ui {

class MessagePopup : public QDialog {
    Q_OBJECT
public:
    // Any widget of the window will do as the parent.
    explicit MessagePopup(QWidget* window);

    void setText(const QString& text);
    QString text() const;
    // The picture beside the text, by name ("PopupIcon" at first).
    void setIcon(const QString& picture);

    // The message opens centred horizontally on the target, just below it, kept inside the
    // window; without a target it opens in the middle of the window.
    void setPlacementTarget(QWidget* target) { m_target = target; }
    QWidget* placementTarget() const { return m_target; }

    // Opens the message and returns at once; does nothing while it is open.
    void open() override;
    bool isOpen() const { return isVisible(); }
    void done(int result) override;

    QLabel* icon() const { return m_icon; }
    QLabel* label() const { return m_label; }
    QPushButton* okButton() const { return m_ok; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitToText();
    void placeOnTarget();

    QLabel* m_icon = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_ok = nullptr;
    QPointer<QWidget> m_target;
};

}  // namespace tavrel::ui
