#include "ui/widgets/messagepopup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using tavrel::ui::MessagePopup;

namespace {

struct PopupWindow {
    QWidget window;
    QWidget* root = new QWidget(&window);
    QPushButton* write = new QPushButton(QStringLiteral("写入"), root);
    QWidget* picker = new QWidget(root);
    QPushButton* alreadyDisabled = new QPushButton(QStringLiteral("读取"), &window);
    MessagePopup* popup = new MessagePopup(&window);

    PopupWindow()
    {
        window.resize(929, 669);
        root->setGeometry(0, 0, 929, 669);
        picker->setGeometry(0, 109, 929, 141);
        write->setGeometry(782, 524, 104, 100);
        alreadyDisabled->setGeometry(785, 398, 101, 100);
        alreadyDisabled->setEnabled(false);
        popup->setText(QStringLiteral("设置完成！"));
        popup->setPlacementTarget(picker);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

}  // namespace

TEST(MessagePopup, OpenReturnsAtOnceAndDisablesTheWindowUntilOk)
{
    PopupWindow w;
    EXPECT_FALSE(w.popup->isVisible());
    EXPECT_EQ(w.popup->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("设置完成！"));

    std::vector<int> closed;
    QObject::connect(w.popup, &tavrel::ui::MessagePopup::closed, [&](int result) { closed.push_back(result); });
    int writeClicks = 0;
    QObject::connect(w.write, &QPushButton::clicked, [&] { ++writeClicks; });

    w.popup->open();
    w.popup->open();  // already open: nothing more
    EXPECT_TRUE(w.popup->isOpen());
    EXPECT_TRUE(w.popup->isVisible());
    EXPECT_FALSE(w.write->isEnabled());
    EXPECT_FALSE(w.picker->isEnabled());
    EXPECT_TRUE(w.popup->okButton()->isEnabled());
    // A click on the disabled window beneath does nothing.
    QTest::mouseClick(w.write, Qt::LeftButton);
    EXPECT_EQ(writeClicks, 0);
    EXPECT_TRUE(closed.empty());

    QTest::mouseClick(w.popup->findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
    EXPECT_EQ(closed, std::vector<int>{1});
    EXPECT_FALSE(w.popup->isOpen());
    EXPECT_FALSE(w.popup->isVisible());
    EXPECT_TRUE(w.write->isEnabled());
    EXPECT_TRUE(w.root->isEnabled());
    EXPECT_FALSE(w.alreadyDisabled->isEnabled()) << "what was disabled before stays so";

    // Centred horizontally on the target, kept inside the window.
    EXPECT_NEAR(w.popup->geometry().center().x(), w.picker->geometry().center().x(), 1);
    EXPECT_TRUE(QRect(0, 0, 929, 669).contains(w.popup->geometry()));
}
