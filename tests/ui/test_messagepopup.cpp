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

TEST(MessagePopup, ExecWaitsForOkWhileEventsRun)
{
    PopupWindow w;
    EXPECT_FALSE(w.popup->isVisible());
    EXPECT_EQ(w.popup->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("设置完成！"));

    int ticks = 0;
    bool seenModal = false;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        if (ticks == 3) {
            seenModal = w.popup->isVisible() && !w.write->isEnabled() && !w.picker->isEnabled()
                        && w.popup->isEnabled() && w.popup->okButton()->isEnabled();
            // A click on the disabled window beneath does nothing.
            QTest::mouseClick(w.write, Qt::LeftButton);
            QTest::mouseClick(w.popup->findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
        }
    });
    int writeClicks = 0;
    QObject::connect(w.write, &QPushButton::clicked, [&] { ++writeClicks; });
    ticker.start();

    EXPECT_EQ(w.popup->exec(), 1);
    ticker.stop();
    EXPECT_TRUE(seenModal);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(writeClicks, 0);
    EXPECT_FALSE(w.popup->isVisible());
    EXPECT_TRUE(w.write->isEnabled());
    EXPECT_TRUE(w.root->isEnabled());
    EXPECT_FALSE(w.alreadyDisabled->isEnabled()) << "what was disabled before stays so";

    // Centred horizontally on the target, kept inside the window.
    EXPECT_NEAR(w.popup->geometry().center().x(), w.picker->geometry().center().x(), 1);
    EXPECT_TRUE(QRect(0, 0, 929, 669).contains(w.popup->geometry()));
}

TEST(MessagePopup, ApplicationQuitEndsExecWithZero)
{
    PopupWindow w;
    int result = -1;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        result = w.popup->exec();
    });
    QApplication::exec();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(w.popup->isVisible());
    EXPECT_TRUE(w.write->isEnabled());
}
