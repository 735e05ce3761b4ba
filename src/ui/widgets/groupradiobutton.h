#pragma once
// A radio button tied to the other radio buttons of the same group name in the same window,
// whatever their parents. Its own signals give a fixed order of events:
// - checking it (from code, the keyboard or a click) unchecks the others of its group first,
//   then emits change() for each button that became unchecked and last for itself; all flags
//   are already final when the first change() is emitted;
// - setting the state it already has emits nothing;
// - a mouse click emits click() first and then checks the button; a click on the checked
//   button emits click() only;
// - Enter, Return or space on the focused button checks it and emits change() only.
// Checking from code works through QAbstractButton::setChecked as well (it is not virtual).

#include <QRadioButton>

namespace tavrel::ui {

class GroupRadioButton : public QRadioButton {
    Q_OBJECT
public:
    GroupRadioButton(const QString& text, const QString& groupName, QWidget* parent = nullptr);

    QString groupName() const { return m_groupName; }
    void setGroupName(const QString& name) { m_groupName = name; }

signals:
    void click();
    void change();

protected:
    void nextCheckState() override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onToggled(bool checked);

    QString m_groupName;
    bool m_releasedByMouse = false;
};

}  // namespace tavrel::ui
