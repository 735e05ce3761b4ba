#include "ui/widgets/groupradiobutton.h"

#include <QKeyEvent>
#include <QList>
#include <QPointer>

namespace tavrel::ui {

namespace {
// True while a group is being settled, so that the flags it changes are not taken for new
// checks of their own. Widgets live on the GUI thread only.
bool settlingGroup = false;
}  // namespace

GroupRadioButton::GroupRadioButton(const QString& text, const QString& groupName, QWidget* parent)
    : QRadioButton(text, parent), m_groupName(groupName)
{
    setAutoExclusive(false);
    connect(this, &QAbstractButton::toggled, this, &GroupRadioButton::onToggled);
}

void GroupRadioButton::onToggled(bool checked)
{
    if (settlingGroup)
        return;
    if (!checked) {
        emit change();
        return;
    }

    QList<QPointer<GroupRadioButton>> unchecked;
    QWidget* const ownWindow = window();
    settlingGroup = true;
    for (GroupRadioButton* other : ownWindow->findChildren<GroupRadioButton*>()) {
        if (other == this || !other->isChecked() || other->m_groupName != m_groupName
            || other->window() != ownWindow)
            continue;
        other->QRadioButton::setChecked(false);
        unchecked << other;
    }
    settlingGroup = false;

    // A change handler may delete or re-check buttons; the guards keep the rest safe.
    QPointer<GroupRadioButton> self(this);
    for (const QPointer<GroupRadioButton>& other : unchecked)
        if (other)
            emit other->change();
    if (self)
        emit change();
}

void GroupRadioButton::nextCheckState()
{
    // Reached from a click of the mouse or of the space key, before QAbstractButton emits
    // clicked(); the click event has to come before the check.
    if (m_releasedByMouse) {
        QPointer<GroupRadioButton> self(this);
        emit click();
        if (!self)
            return;
    }
    QRadioButton::setChecked(true);
}

void GroupRadioButton::mouseReleaseEvent(QMouseEvent* event)
{
    QPointer<GroupRadioButton> self(this);
    m_releasedByMouse = true;
    QRadioButton::mouseReleaseEvent(event);
    if (self)
        m_releasedByMouse = false;
}

void GroupRadioButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat())
            QRadioButton::setChecked(true);
        event->accept();
        return;
    }
    QRadioButton::keyPressEvent(event);
}

}  // namespace tavrel::ui
