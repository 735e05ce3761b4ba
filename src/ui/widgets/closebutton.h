#pragma once
// The small cross in a borderless window's corner. It closes or hides the window that holds
// it, or only emits clicked() with the action None.

#include <QToolButton>

namespace tavrel::ui {

class CloseButton : public QToolButton {
    Q_OBJECT
public:
    enum class Action { Close, Hide, None };

    explicit CloseButton(QWidget* parent = nullptr, Action action = Action::Close);

    void setAction(Action action) { m_action = action; }
    Action action() const { return m_action; }

    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void act();

    Action m_action;
};

}  // namespace tavrel::ui
