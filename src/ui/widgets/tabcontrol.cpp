#include "ui/widgets/tabcontrol.h"

#include "ui/widgets/tabitem.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

namespace {
bool explicitlyHidden(const QWidget* widget)
{
    return widget->testAttribute(Qt::WA_WState_ExplicitShowHide) && widget->isHidden();
}
}  // namespace

TabControl::TabControl(QWidget* parent) : QWidget(parent) {}

int TabControl::addTab(TabItem* item, QWidget* page)
{
    const bool itemHidden = explicitlyHidden(item);
    item->setParent(this);
    item->setVisible(!itemHidden);
    page->setParent(this);

    const int index = count();
    m_tabs.append({item, page});
    connect(item, &TabItem::activated, this, [this, item] {
        for (int i = 0; i < count(); ++i)
            if (m_tabs[i].item == item)
                setItemIndex(i);
    });

    if (m_index < 0)
        setItemIndex(index);
    else
        page->hide();
    return index;
}

TabItem* TabControl::item(int index) const
{
    return index >= 0 && index < count() ? m_tabs[index].item : nullptr;
}

QWidget* TabControl::page(int index) const
{
    return index >= 0 && index < count() ? m_tabs[index].page : nullptr;
}

void TabControl::setItemIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool changed = index != m_index;
    m_index = index;
    for (int i = 0; i < count(); ++i) {
        if (m_tabs[i].item)
            m_tabs[i].item->setSelected(i == index);
        if (i != index && m_tabs[i].page)
            m_tabs[i].page->hide();
    }
    if (m_tabs[index].page)
        m_tabs[index].page->show();
    if (changed)
        emit itemIndexChanged(index);
}

void TabControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

}  // namespace tavrel::ui
