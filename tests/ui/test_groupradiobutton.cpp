#include "ui/widgets/groupradiobutton.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

using tavrel::ui::GroupRadioButton;

namespace {

// A window with the mouse trigger group "3" split over two group boxes, a second group "2"
// beside it, and every click() and change() written to one log with the group's flags as they
// were when the signal came.
struct RadioWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QWidget* boxA = new QWidget(window.get());
    QWidget* boxB = new QWidget(window.get());
    GroupRadioButton* single = new GroupRadioButton(QStringLiteral("单次按下"), QStringLiteral("3"), boxA);
    GroupRadioButton* repeat = new GroupRadioButton(QStringLiteral("连续按键"), QStringLiteral("3"), boxB);
    GroupRadioButton* left = new GroupRadioButton(QStringLiteral("鼠标左键"), QStringLiteral("2"), boxA);
    QStringList log;

    RadioWindow()
    {
        window->resize(400, 200);
        boxA->setGeometry(0, 0, 200, 200);
        boxB->setGeometry(200, 0, 200, 200);
        single->setGeometry(10, 10, 120, 19);
        left->setGeometry(10, 60, 120, 19);
        repeat->setGeometry(10, 10, 120, 19);
        for (GroupRadioButton* b : {single, repeat, left})
            watch(b);
        single->setChecked(true);
        left->setChecked(true);
        log.clear();
    }

    void watch(GroupRadioButton* b)
    {
        QObject::connect(b, &GroupRadioButton::click, [this, b] { log << b->text() + " click" + flags(); });
        QObject::connect(b, &GroupRadioButton::change, [this, b] { log << b->text() + " change" + flags(); });
    }

    QString flags() const
    {
        return QStringLiteral(" [%1%2%3]").arg(int(single->isChecked())).arg(int(repeat->isChecked())).arg(int(left->isChecked()));
    }

    void show()
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
};

QPoint textPoint(QWidget* b)
{
    return QPoint(40, b->height() / 2);
}

}  // namespace

TEST(GroupRadioButton, MouseClickRaisesClickThenUncheckedThenChecked)
{
    RadioWindow w;
    w.show();

    QTest::mouseClick(w.repeat, Qt::LeftButton, {}, textPoint(w.repeat));
    // Every change handler already sees the final flags; the other group keeps its button.
    EXPECT_EQ(w.log, QStringList({"连续按键 click [101]", "单次按下 change [011]", "连续按键 change [011]"}));

    w.log.clear();
    QTest::mouseClick(w.repeat, Qt::LeftButton, {}, textPoint(w.repeat));
    EXPECT_EQ(w.log, QStringList({"连续按键 click [011]"})) << "a click on the checked button changes nothing";
    EXPECT_TRUE(w.repeat->isChecked());
}

TEST(GroupRadioButton, CodeAndKeyboardRaiseChangeOnly)
{
    RadioWindow w;
    w.show();

    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList expected;
    };
    const std::vector<Step> steps = {
        {"check from code", [&] { w.repeat->setChecked(true); }, {"单次按下 change [011]", "连续按键 change [011]"}},
        {"same state again", [&] { w.repeat->setChecked(true); }, {}},
        {"through the base class",
         [&] { static_cast<QAbstractButton*>(w.single)->setChecked(true); },
         {"连续按键 change [101]", "单次按下 change [101]"}},
        {"uncheck from code", [&] { w.single->setChecked(false); }, {"单次按下 change [001]"}},
        {"space key", [&] { QTest::keyClick(w.single, Qt::Key_Space); }, {"单次按下 change [101]"}},
        {"return key", [&] { QTest::keyClick(w.repeat, Qt::Key_Return); }, {"单次按下 change [011]", "连续按键 change [011]"}},
        {"enter on the checked one", [&] { QTest::keyClick(w.repeat, Qt::Key_Enter); }, {}},
    };
    for (const Step& step : steps) {
        w.log.clear();
        step.act();
        EXPECT_EQ(w.log, step.expected) << step.what;
    }
}

TEST(GroupRadioButton, GroupsDoNotReachIntoOtherWindows)
{
    RadioWindow w;
    // A second top-level window, even one parented to the first, has groups of its own.
    auto* other = new QWidget(w.window.get(), Qt::Window);
    auto* foreign = new GroupRadioButton(QStringLiteral("单次按下"), QStringLiteral("3"), other);
    foreign->setChecked(true);
    EXPECT_TRUE(w.single->isChecked());
    EXPECT_TRUE(w.log.isEmpty());

    w.repeat->setChecked(true);
    EXPECT_TRUE(foreign->isChecked());
    EXPECT_FALSE(w.single->isChecked());
}

TEST(GroupRadioButton, ChangeHandlerMayCheckAnotherButtonOfTheGroup)
{
    RadioWindow w;
    // A handler that reacts by moving the check on must see a consistent group and end in a
    // state with exactly one checked button.
    bool redirected = false;
    QObject::connect(w.repeat, &GroupRadioButton::change, [&] {
        if (w.repeat->isChecked() && !redirected) {
            redirected = true;
            w.single->setChecked(true);
        }
    });
    w.repeat->setChecked(true);
    EXPECT_TRUE(w.single->isChecked());
    EXPECT_FALSE(w.repeat->isChecked());
}
