#include "ui/widgets/keypicker.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>
#include <memory>

using namespace tavrel::ui;

namespace {

// Rebuilds the picker the way a key-record answer does.
void rebuild(KeyPicker& picker, int keys)
{
    picker.clear();
    picker.beginUpdate();
    for (int i = 0; i < keys; ++i)
        picker.addItem(QStringLiteral("keyItem%1").arg(i), QStringLiteral("key%1").arg(i + 1), 48);
    picker.endUpdate();
    picker.setCurrentIndex(0);
}

}  // namespace

TEST(KeyPicker, RebuildNamesItemsAndLaysThemOutFromTheLeft)
{
    QWidget window;
    auto* picker = new KeyPicker(&window);
    picker->setGeometry(0, 109, 929, 141);
    EXPECT_EQ(picker->currentIndex(), -1);

    rebuild(*picker, 6);
    ASSERT_EQ(picker->count(), 6);
    EXPECT_EQ(picker->currentIndex(), 0);
    for (int i = 0; i < 6; ++i) {
        QWidget* item = window.findChild<QWidget*>(QStringLiteral("keyItem%1").arg(i));
        ASSERT_NE(item, nullptr) << i;
        EXPECT_EQ(item->geometry(), QRect(48 * i, 0, 48, 141)) << i;
        EXPECT_EQ(item->cursor().shape(), Qt::PointingHandCursor);
    }

    // A smaller device: the old items are gone for findChild at once, not only after deletion.
    rebuild(*picker, 3);
    EXPECT_EQ(picker->count(), 3);
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("keyItem5")), nullptr);
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("keyItem2")), picker->item(2));

    picker->clear();
    EXPECT_EQ(picker->currentIndex(), -1);
    picker->setCurrentIndex(0);
    EXPECT_EQ(picker->currentIndex(), -1) << "an empty picker selects nothing";

    // Height follows the picker.
    rebuild(*picker, 2);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    picker->resize(929, 100);
    EXPECT_EQ(picker->item(1)->geometry(), QRect(48, 0, 48, 100));
}

TEST(KeyPicker, UserSelectionMovesBeforeClick)
{
    QWidget window;
    window.resize(929, 300);
    auto* picker = new KeyPicker(&window);
    picker->setGeometry(0, 109, 929, 141);
    rebuild(*picker, 6);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QList<int> seen;
    QObject::connect(picker, &KeyPicker::keyClicked, [&] { seen << picker->currentIndex(); });

    QTest::mouseClick(picker->item(4), Qt::LeftButton);
    QTest::mouseClick(picker->item(4), Qt::LeftButton);
    QTest::keyClick(picker, Qt::Key_Left);
    QTest::keyClick(picker, Qt::Key_End);
    QTest::keyClick(picker, Qt::Key_Right);  // already the last: nothing moves, nothing emitted
    picker->setCurrentIndex(1);              // from code: no click
    EXPECT_EQ(seen, QList<int>({4, 4, 3, 5}));
    EXPECT_EQ(picker->currentIndex(), 1);
}

TEST(KeyPicker, ClickHandlerMayRebuildThePicker)
{
    // An answer handled while the click's handler runs rebuilds the picker under the clicked
    // item; the item must outlive its own event.
    QWidget window;
    window.resize(929, 300);
    auto* picker = new KeyPicker(&window);
    picker->setGeometry(0, 0, 929, 141);
    rebuild(*picker, 6);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    int clicks = 0;
    QObject::connect(picker, &KeyPicker::keyClicked, [&] {
        ++clicks;
        rebuild(*picker, 6);
    });
    QTest::mouseClick(picker->item(3), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(picker->currentIndex(), 0);
    EXPECT_EQ(window.findChildren<QWidget*>(QStringLiteral("keyItem3")).size(), 1);
}
