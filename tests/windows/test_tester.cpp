// The key tester in the main window: what the selected key sends, shown in the strip above the
// key pages without covering anything, the one key whose record sends it marked in the picker,
// key names in the user's keyboard layout, and the line cleared when the key goes.
#include "common/textfit.h"
#include "windowfixture.h"

#include "i18n/language.h"
#include "platform/keyboardlayout.h"

#include <QLabel>
#include <QTranslator>

using namespace tavrel;
using namespace tavrel::test;

namespace {

struct TesterTexts {
    const char* locale;
    QString single, twoKeys, repeatedMouse, german;
};

void PrintTo(const TesterTexts& texts, std::ostream* out)
{
    *out << texts.locale;
}

class TesterWindowTest : public LocaleWindowTest, public ::testing::WithParamInterface<TesterTexts> {
protected:
    void SetUp() override { useLocale(GetParam().locale, false); }

    // The controls of a key page that the line's text covers, by name: the line stays over
    // whichever page is shown.
    QStringList coveredOn(const QWidget* page) const
    {
        const QLabel* line = mainChild<QLabel>("receivedText");
        const QRect text = placed(line->fontMetrics().size(0, line->text()), line->alignment(), line->contentsRect())
                               .translated(line->pos());
        QStringList covered;
        for (const QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisibleTo(page) && shownRect(w).translated(page->mapTo(pages(), QPoint())).intersects(text))
                covered << w->objectName();
        return covered;
    }

    // Presses key `slot` of the emulated key and waits for the window to show what it sent. The
    // press before has been released, and the events are stamped as if the repeat gap had passed
    // since, so that this press is a new one.
    bool press(emu::EmulatedDevice& key, int slot, int holdMs, const QString& shown)
    {
        if (!waitFor([&] { return key.unreadInputEvents() == 0; }))
            return false;
        key.advanceClock(RepeatGapMs + 1);
        key.pressKey(slot, holdMs);
        return waitFor([&] { return mainChild<QLabel>("receivedText")->text() == shown; }, 5000);
    }
};

}  // namespace

TEST_P(TesterWindowTest, TheLineShowsWhatTheKeySentAndMarksTheKeyThatSendsIt)
{
    const TesterTexts& t = GetParam();
    auto& key = plug(QStringLiteral("tester-") + QLatin1String(t.locale, 2), "310000000041");
    key.setRecord(0, {0x04, 0x3D, 0, 0, 0x00});  // Alt+F4
    key.setRecord(1, {0x04, 0x3D, 0, 0, 0x00});  // Alt+F4 again
    key.setRecord(2, {0x03, 0x05, 0, 0, 0x00});  // Ctrl+Shift+B
    key.setRecord(3, {0x02, 0, 0, 0, 0x03});     // the right button, repeated
    key.setRecord(4, {0x01, 0x1C, 0, 0, 0x00});  // Ctrl+Y: Ctrl+Z on a German keyboard
    start();
    waitForRead(6);
    ASSERT_TRUE(waitFor([&] { return key.inputOpens() >= 2; }));
    EXPECT_EQ(mainChild<QLabel>("receivedText")->text(), QString());

    const struct {
        int slot;
        int holdMs;
        QString shown;
        int marked;
    } cases[] = {
        {2, 50, t.single, 2},
        {0, 50, t.twoKeys, -1},
        {3, 2 * emu::RepeatPeriodMs - 10, t.repeatedMouse, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        ASSERT_TRUE(press(key, c.slot, c.holdMs, c.shown)) << mainChild<QLabel>("receivedText")->text().toStdString();
        EXPECT_EQ(keyPicker()->receivedIndex(), c.marked);
        // The line covers nothing on either page, and shows all of itself.
        for (const QWidget* page : {mainChild("keyboardPage"), mainChild("mousePage")})
            EXPECT_EQ(coveredOn(page).join(u',').toStdString(), "") << page->objectName().toStdString();
        EXPECT_EQ(cutTextsOf(form.get()), "");
        EXPECT_TRUE(mainChild<QLabel>("receivedText")->toolTip().isEmpty());
    }

    // Names in a German layout: the line and the capture box show what the keyboard prints.
    const auto german = platform::namedLayoutKeyLabels(QStringLiteral("de"));
    ASSERT_TRUE(german.has_value());
    form->setKeyLabels(*german);
    ASSERT_TRUE(press(key, 4, 50, t.german));
    EXPECT_EQ(keyPicker()->receivedIndex(), 4);
    keyPicker()->setCurrentIndex(4);
    keyPicker()->keyClicked();
    EXPECT_EQ(captureBox()->text(), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(form->editor()->shownRecord(4)->text, QStringLiteral("Ctrl+Y")) << "the record keeps its own name";

    testbed().unplug(key);
    ASSERT_TRUE(waitFor([&] { return !form->editor()->selected(); }));
    EXPECT_EQ(mainChild<QLabel>("receivedText")->text(), QString());
    EXPECT_EQ(keyPicker()->receivedIndex(), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, TesterWindowTest,
    ::testing::Values(TesterTexts{"zh_CN.UTF-8", QStringLiteral("收到：Ctrl+Shift+B（按键 3）"),
                                  QStringLiteral("收到：Alt+F4"), QStringLiteral("收到：鼠标右键，连续按键（按键 4）"),
                                  QStringLiteral("收到：Ctrl+Z（按键 5）")},
                      TesterTexts{"en_US.UTF-8", QStringLiteral("Received: Ctrl+Shift+B (key 3)"),
                                  QStringLiteral("Received: Alt+F4"),
                                  QStringLiteral("Received: Right button, repeated (key 4)"),
                                  QStringLiteral("Received: Ctrl+Z (key 5)")}),
    [](const ::testing::TestParamInfo<TesterTexts>& info) { return std::string(info.param.locale).substr(0, 2); });
