#include "common/textfit.h"
#include "ui/widgets/messagepopup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using tavrel::ui::MessagePopup;

namespace {

struct PopupWindow {
    QWidget window;
    QWidget* root = new QWidget(&window);
    QPushButton* write = new QPushButton(QStringLiteral("写入"), root);
    QPushButton* read = new QPushButton(QStringLiteral("读取"), root);
    QWidget* picker = new QWidget(root);
    MessagePopup* popup = new MessagePopup(&window);

    PopupWindow()
    {
        window.resize(929, 669);
        root->setGeometry(0, 0, 929, 669);
        picker->setGeometry(0, 109, 929, 141);
        write->setGeometry(782, 524, 104, 100);
        read->setGeometry(660, 524, 104, 100);
        popup->setText(QStringLiteral("设置完成！"));
        popup->setPlacementTarget(picker);
        popup->setWindowContent(root);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // A click on the write button as the window system hands it to the window.
    void clickWrite() const
    {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, write->mapTo(&window, write->rect().center()));
    }

    // Where the message is in the window.
    QRect popupPlace() const { return QRect(window.mapFromGlobal(popup->pos()), popup->size()); }
};

}  // namespace

// Qt's modality keeps the window from taking input; the window's content is disabled besides,
// so that it looks so, and what the window disabled itself stays disabled after the message.
TEST(MessagePopup, OpenReturnsAtOnceAndTheWindowTakesNoInputUntilOk)
{
    PopupWindow w;
    EXPECT_FALSE(w.popup->isVisible());
    EXPECT_EQ(w.popup->findChild<QLabel*>(QStringLiteral("message"))->text(), QStringLiteral("设置完成！"));

    std::vector<int> finished;
    QObject::connect(w.popup, &QDialog::finished, [&](int result) { finished.push_back(result); });
    int writeClicks = 0;
    QObject::connect(w.write, &QPushButton::clicked, [&] { ++writeClicks; });

    for (const bool byEscape : {false, true}) {
        SCOPED_TRACE(byEscape ? "Escape" : "OK");
        finished.clear();
        w.write->setFocus();
        w.popup->open();
        w.popup->open();  // already open: nothing more
        EXPECT_TRUE(w.popup->isOpen());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.popup));
        EXPECT_EQ(QGuiApplication::modalWindow(), w.popup->windowHandle());
        EXPECT_FALSE(w.write->isEnabled());
        EXPECT_TRUE(w.popup->isEnabled() && w.popup->okButton()->isEnabled());
        w.clickWrite();
        EXPECT_EQ(writeClicks, 0);
        EXPECT_TRUE(finished.empty());
        // The window's own disabling, while the message is open.
        w.read->setEnabled(false);

        if (byEscape)
            QTest::keyClick(w.popup, Qt::Key_Escape);
        else
            QTest::mouseClick(w.popup->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        EXPECT_EQ(finished, std::vector<int>{1}) << "closing it in any way takes note of it";
        EXPECT_FALSE(w.popup->isOpen());
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
        EXPECT_TRUE(w.write->isEnabled());
        EXPECT_FALSE(w.read->isEnabled());
        EXPECT_EQ(w.window.focusWidget(), w.write);
        w.clickWrite();
        EXPECT_EQ(writeClicks, 1);
        writeClicks = 0;
        w.read->setEnabled(true);
    }

    // Centred horizontally on the target, just below it, inside the window.
    w.popup->open();
    EXPECT_NEAR(w.popupPlace().center().x(), w.picker->geometry().center().x(), 1);
    EXPECT_EQ(w.popupPlace().top(), w.picker->geometry().bottom() + 1);
    EXPECT_TRUE(QRect(0, 0, 929, 669).contains(w.popupPlace()));
    w.popup->okButton()->click();
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
        EXPECT_TRUE(QRect(0, 0, 929, 669).contains(w.popupPlace())) << what;
        EXPECT_NEAR(w.popupPlace().center().x(), w.picker->geometry().center().x(), 1) << what;
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
