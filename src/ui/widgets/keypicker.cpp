#include "ui/widgets/keypicker.h"

#include "ui/widgets/buttongroup.h"

#include "ui/widgets/keypickeritem.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

KeyPicker::KeyPicker(QWidget* parent) : QWidget(parent), m_group(new QButtonGroup(this))
{
    connect(m_group, &QButtonGroup::idClicked, this, &KeyPicker::selectByUser);
    setFocusPolicy(Qt::StrongFocus);
}

void KeyPicker::clear()
{
    // The items may be on the call stack (a click handler that ends in a rebuild), so they
    // are deleted later; renamed now, so findChild only finds the new ones.
    for (const QPointer<KeyPickerItem>& item : std::as_const(m_items)) {
        if (!item)
            continue;
        item->setObjectName(QString());
        m_group->removeButton(item);
        item->hide();
        item->deleteLater();
    }
    m_items.clear();
    m_received = -1;
    setCurrentIndex(-1);
}

void KeyPicker::beginUpdate()
{
    ++m_updateDepth;
}

void KeyPicker::endUpdate()
{
    if (m_updateDepth > 0 && --m_updateDepth == 0)
        relayout();
}

QWidget* KeyPicker::addItem(const QString& objectName, const QString& pictureName, int width)
{
    auto* item = new KeyPickerItem(pictureName, this);
    item->setObjectName(objectName);
    item->resize(qMax(0, width), height());
    m_group->addButton(item, int(m_items.size()));
    m_items.append(item);
    item->show();
    if (m_updateDepth == 0)
        relayout();
    return item;
}

QWidget* KeyPicker::item(int index) const
{
    return index >= 0 && index < count() ? m_items[index].data() : nullptr;
}

void KeyPicker::setCurrentIndex(int index)
{
    if (index < 0 || index >= count())
        index = -1;
    checkOnly(m_group, index);
    if (index == m_index)
        return;
    m_index = index;
    emit currentChanged(index);
}

void KeyPicker::setReceivedIndex(int index)
{
    m_received = index >= 0 && index < count() ? index : -1;
    for (int i = 0; i < count(); ++i)
        if (m_items[i])
            m_items[i]->setReceived(i == m_received);
}

void KeyPicker::selectByUser(int index)
{
    setCurrentIndex(index);
    emit keyClicked();
}

void KeyPicker::relayout()
{
    int x = 0;
    for (const QPointer<KeyPickerItem>& item : std::as_const(m_items)) {
        if (!item)
            continue;
        item->setGeometry(x, 0, item->width(), height());
        x += item->width();
    }
}

void KeyPicker::resizeEvent(QResizeEvent*)
{
    if (m_updateDepth == 0)
        relayout();
}

void KeyPicker::keyPressEvent(QKeyEvent* event)
{
    if (count() == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        target = qMax(0, m_index - 1);
        break;
    case Qt::Key_Right:
        target = qMin(count() - 1, m_index + 1);
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count() - 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (target != m_index)
        selectByUser(target);
}

void KeyPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

}  // namespace tavrel::ui
