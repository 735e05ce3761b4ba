#include "ui/widgets/tabcontrol.h"

#include "ui/widgets/tabitem.h"

#include <QButtonGroup>
#include <QPainter>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

TabControl::TabControl(QWidget* parent)
    : QWidget(parent), m_items(new QButtonGroup(this)), m_pages(new QStackedWidget(this))
{
    m_pages->setObjectName(QStringLiteral("pageStack"));
    // The button group's clicked() comes after the item's own.
    connect(m_items, &QButtonGroup::idClicked, this, &TabControl::setCurrentIndex);
    connect(m_pages, &QStackedWidget::currentChanged, this, &TabControl::currentChanged);
}

void TabControl::setPageGeometry(const QRect& geometry)
{
    m_pages->setGeometry(geometry);
}

int TabControl::addTab(TabItem* item, QWidget* page)
{
    const bool itemHidden = item->testAttribute(Qt::WA_WState_ExplicitShowHide) && item->isHidden();
    item->setParent(this);
    item->setVisible(!itemHidden);
    m_items->addButton(item, count());
    const int index = m_pages->addWidget(page);
    item->setChecked(index == currentIndex());
    return index;
}

int TabControl::count() const
{
    return m_pages->count();
}

TabItem* TabControl::item(int index) const
{
    return qobject_cast<TabItem*>(m_items->button(index));
}

QWidget* TabControl::page(int index) const
{
    return m_pages->widget(index);
}

int TabControl::currentIndex() const
{
    return m_pages->currentIndex();
}

void TabControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    if (TabItem* selected = item(index))
        selected->setChecked(true);
    m_pages->setCurrentIndex(index);
}

void TabControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

}  // namespace tavrel::ui
