#pragma once
// Tab items over a stack of pages, one page each. The caller places the items; the pages fill
// the stack, which the caller places too. A click on an item emits the item's clicked() first
// and then selects it and its page.

#include <QWidget>

class QButtonGroup;
class QStackedWidget;

namespace tavrel::ui {

class TabItem;

class TabControl : public QWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);

    // Where the pages go, in the control's coordinates.
    void setPageGeometry(const QRect& geometry);
    // Takes both as children. The first tab added becomes the selected one. Returns the new
    // item's index.
    int addTab(TabItem* item, QWidget* page);
    int count() const;
    TabItem* item(int index) const;
    QWidget* page(int index) const;
    // -1 while there are no tabs.
    int currentIndex() const;
    // Indexes outside the tabs are ignored. Hidden items can be selected too.
    void setCurrentIndex(int index);

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The ids are the tabs' indexes.
    QButtonGroup* m_items;
    QStackedWidget* m_pages;
};

}  // namespace tavrel::ui
