#pragma once
// Tab items with one page each. The caller places items and pages; the control shows the page
// of the selected item and hides the others. A click on an item emits the item's click()
// first and then selects it.

#include <QList>
#include <QPointer>
#include <QWidget>

namespace tavrel::ui {

class TabItem;

class TabControl : public QWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);

    // Takes both as children. The first tab added becomes the selected one; the pages of the
    // others are hidden. Returns the new item's index.
    int addTab(TabItem* item, QWidget* page);

    int count() const { return int(m_tabs.size()); }
    TabItem* item(int index) const;
    QWidget* page(int index) const;

    // -1 while there are no tabs.
    int itemIndex() const { return m_index; }
    // Indexes outside the tabs are ignored. Hidden items can be selected too.
    void setItemIndex(int index);

signals:
    void itemIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Either may be deleted by its window; a deleted one is skipped.
    struct Tab {
        QPointer<TabItem> item;
        QPointer<QWidget> page;
    };
    QList<Tab> m_tabs;
    int m_index = -1;
};

}  // namespace tavrel::ui
