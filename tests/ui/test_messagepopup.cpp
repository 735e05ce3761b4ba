#include "common/textfit.h"
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
    EXPECT_EQ(w.popup->findChild<QLabel*>(QStringLiteral("message"))->text(), QStringLiteral("设置完成！"));

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

    QTest::mouseClick(w.popup->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
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

// A text longer than the popup's first size wraps and the popup grows to show all of it, in
// either language; a short text brings the popup back to its first size. Nothing overlaps the
// icon or the button, and the popup stays inside its window.
TEST(MessagePopup, SizesItselfToTheWholeText)
{
    PopupWindow w;
    QLabel* label = w.popup->label();
    const QString english8 = QStringLiteral("Settings not saved. 8 keys were not written: 1, 2, 3, 4, 5, 6, 7, 8.");
    const QString texts[] = {
        QStringLiteral("设置失败！8个按键未写入：1、2、3、4、5、6、7、8。"),
        QStringLiteral("设置失败！1个按键未写入：3。"),
        english8,
        QStringLiteral("Settings not saved. Key 3 was not written."),
        QStringLiteral("Two lines\nof text"),
        (english8 + QLatin1Char(' ')).repeated(12),
    };
    for (const QString& text : texts) {
        w.popup->setText(text);
        w.popup->open();
        const std::string what = text.toStdString();
        EXPECT_TRUE(tavrel::test::showsWholeText(label)) << what << " in " << label->width() << "x" << label->height();
        EXPECT_FALSE(label->geometry().intersects(w.popup->icon()->geometry())) << what;
        EXPECT_GT(w.popup->okButton()->geometry().top(), label->geometry().bottom()) << what;
        EXPECT_TRUE(w.popup->rect().contains(w.popup->okButton()->geometry())) << what;
        EXPECT_TRUE(QRect(0, 0, 929, 669).contains(w.popup->geometry())) << what;
        EXPECT_NEAR(w.popup->geometry().center().x(), w.picker->geometry().center().x(), 1) << what;
        w.popup->okButton()->click();
    }

    // Short texts, as the first size has them.
    for (const QString& text : {QStringLiteral("设置完成！"), QStringLiteral("Settings saved.")}) {
        w.popup->setText(text);
        EXPECT_EQ(w.popup->size(), QSize(244, 146)) << text.toStdString();
        EXPECT_EQ(label->geometry(), QRect(74, 27, 130, 38)) << text.toStdString();
        EXPECT_EQ(w.popup->okButton()->geometry(), QRect(69, 83, 109, 33)) << text.toStdString();
        EXPECT_TRUE(tavrel::test::showsWholeText(label)) << text.toStdString();
    }
}
