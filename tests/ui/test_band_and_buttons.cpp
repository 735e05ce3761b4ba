#include "ui/widgets/circlebutton.h"
#include "ui/widgets/closebutton.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/toolbarband.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

using namespace tavrel::ui;

namespace {

// The pointer moves over the screen; the band moves with the window under it, so the
// positions are fixed on the screen and not in the band.
void drag(QWidget* target, QPoint from, QPoint by)
{
    const QPoint origin = target->mapToGlobal(from);
    auto send = [&](QEvent::Type type, QPoint offset, Qt::MouseButtons buttons) {
        const QPoint global = origin + offset;
        QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global), Qt::LeftButton, buttons, {});
        QApplication::sendEvent(target, &event);
    };
    send(QEvent::MouseButtonPress, {}, Qt::LeftButton);
    send(QEvent::MouseMove, by / 2, Qt::LeftButton);
    send(QEvent::MouseMove, by, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, by, Qt::NoButton);
}

}  // namespace

TEST(ToolBarBand, DragsTheWindowButLeavesClicksToChildren)
{
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(520, 245, 926, 669);
    auto* band = new ToolBarBand(&window);
    band->setGeometry(0, 17, 929, 93);
    auto* title = new GradientText(QStringLiteral("Tavrel"), band);
    title->setGeometry(317, 17, 279, 42);
    auto* link = new QPushButton(QStringLiteral("www"), band);
    link->setGeometry(577, 51, 202, 25);
    link->setFlat(true);
    auto* button = new QPushButton(QStringLiteral("USB按键"), band);
    button->setGeometry(10, 12, 77, 77);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    int linkClicks = 0, buttonClicks = 0;
    QObject::connect(link, &QPushButton::clicked, [&] { ++linkClicks; });
    QObject::connect(button, &QPushButton::clicked, [&] { ++buttonClicks; });

    const QPoint start = window.pos();
    drag(band, QPoint(200, 40), QPoint(30, 12));
    EXPECT_EQ(window.pos(), start + QPoint(30, 12));

    // The plain title lets the press through to the band.
    EXPECT_TRUE(title->testAttribute(Qt::WA_TransparentForMouseEvents));

    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(buttonClicks, 1);
    EXPECT_EQ(linkClicks, 1);
    EXPECT_EQ(window.pos(), start + QPoint(30, 12));
}

TEST(CircleButton, OnlyTheDiscIsPressable)
{
    QWidget window;
    auto* read = new CircleButton(QStringLiteral("读取"), &window);
    read->setGeometry(0, 0, 101, 100);
    read->setFontFamily(QStringLiteral("黑体"));
    read->setFontSize(29);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(read->font().pixelSize(), 29);

    int clicks = 0;
    QObject::connect(read, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(read, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks, 0) << "the corner lies outside the disc";
    QTest::mouseClick(read, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseClick(read, Qt::LeftButton, {}, QPoint(50, 2));
    EXPECT_EQ(clicks, 2);
}

TEST(CloseButton, ClosesOrHidesItsWindow)
{
    for (auto action : {CloseButton::Action::Close, CloseButton::Action::Hide}) {
        QWidget window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        bool closeEvent = false;
        auto* close = new CloseButton(&window, action);
        close->move(910, 1);
        window.resize(929, 669);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        struct CloseWatch : QObject {
            bool* seen;
            explicit CloseWatch(bool* s) : seen(s) {}
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::Close)
                    *seen = true;
                return false;
            }
        } watch(&closeEvent);
        window.installEventFilter(&watch);

        QTest::mouseClick(close, Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(closeEvent, action == CloseButton::Action::Close);
        EXPECT_EQ(close->size(), QSize(20, 20));
        window.removeEventFilter(&watch);
    }
}
