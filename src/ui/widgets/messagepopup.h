#pragma once
// A message over its window, with an icon ("icon"), a text ("message") and an "OK" button
// ("okButton"): a frameless dialog, modal to its window, which Qt keeps from taking any input
// while the message is open; the window's content is disabled meanwhile, so it also looks so.
// However it closes, it finishes with the result 1. A short text keeps
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
    ~MessagePopup() override;

    void setText(const QString& text);
    QString text() const;
    // The picture beside the text, by name ("PopupIcon" at first).
    void setIcon(const QString& picture);

    // The message opens centred horizontally on the target, just below it, kept inside the
    // window; without a target it opens in the middle of the window.
    void setPlacementTarget(QWidget* target) { m_target = target; }
    QWidget* placementTarget() const { return m_target; }

    // The widget holding the window's controls, disabled while the message is open. Widgets the
    // window disabled itself stay disabled when it is enabled again. Not one of the message's
    // parents: a disabled widget disables its child windows too.
    void setWindowContent(QWidget* content) { m_content = content; }

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
    void enableContent();

    QLabel* m_icon = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_ok = nullptr;
    QPointer<QWidget> m_target;
    QPointer<QWidget> m_content;
    // The content as this message disabled it, to be enabled when it closes.
    QPointer<QWidget> m_disabledContent;
    // Where the window's focus was when the message opened; disabling the content takes it away.
    QPointer<QWidget> m_contentFocus;
};

}  // namespace tavrel::ui
