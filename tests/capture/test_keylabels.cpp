// Key names in the user's keyboard layout: the usage-to-label mapping of layouts built by name
// with libxkbcommon (no display needed), and the relabelling of a combination's text.
#include "keys/keylabels.h"
#include "keys/keynames.h"
#include "platform/keyboardlayout.h"

#include "qt_print.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace tavrel;

namespace {

struct Label {
    const char* name;   // the key-name table's
    const char* label;  // what the layout prints on that key
};

}  // namespace

TEST(KeyLabels, LayoutsNameTheKeysTheyChange)
{
    const struct {
        const char* layout;
        std::vector<Label> labels;
    } layouts[] = {
        {"us", {{"A", "A"}, {"Y", "Y"}, {"1", "1"}, {"-", "-"}, {"[", "["}, {"'", "'"}, {"`", "`"}, {"/", "/"}}},
        {"de",
         {{"Y", "Z"},
          {"Z", "Y"},
          {"A", "A"},
          {"1", "1"},
          {"-", "ß"},
          {"=", "´"},
          {"[", "Ü"},
          {"]", "+"},
          {"\\", "#"},
          {";", "Ö"},
          {"'", "Ä"},
          {"`", "^"},
          {",", ","},
          {"/", "-"}}},
        {"fr",
         {{"A", "Q"},
          {"Q", "A"},
          {"W", "Z"},
          {"Z", "W"},
          {"M", ","},
          {";", "M"},
          {"1", "&"},
          {"2", "É"},
          {"3", "\""},
          {"9", "Ç"},
          {"0", "À"},
          {"-", ")"},
          {"[", "^"},
          {"]", "$"},
          {"'", "Ù"},
          {"`", "²"},
          {",", ";"},
          {".", ":"},
          {"/", "!"}}},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.layout);
        const auto labels = platform::namedLayoutKeyLabels(QString::fromLatin1(l.layout));
        ASSERT_TRUE(labels.has_value());
        for (const Label& k : l.labels)
            EXPECT_EQ(labels->name(usageForName(QString::fromLatin1(k.name))), QString::fromUtf8(k.label)) << k.name;
        // Keys no layout renames keep their names, whatever the layout puts on them.
        for (const KeyName& k : keyNameTable()) {
            if (!layoutLabelsKey(k.usage)) {
                EXPECT_EQ(labels->name(k.usage), QLatin1String(k.name));
            }
        }
    }
    EXPECT_EQ(*platform::namedLayoutKeyLabels(QStringLiteral("us")), KeyLabels());
    EXPECT_FALSE(platform::namedLayoutKeyLabels(QStringLiteral("no-such-layout")).has_value());
}

TEST(KeyLabels, OnlyPrintableShortLabelsCountAndLettersAreCapitals)
{
    const KeyLabels labels = KeyLabels::fromLayout([](unsigned code) -> QString {
        switch (code) {
        case KEY_Q:
            return QStringLiteral("a");
        case KEY_W:
            return QStringLiteral("ß");
        case KEY_E:
            return QString();  // types nothing: the table's name
        case KEY_R:
            return QStringLiteral("\t");  // not printable
        case KEY_T:
            return QStringLiteral("long text");
        case KEY_ENTER:
            return QStringLiteral("x");  // not a key a layout renames
        default:
            return QString();
        }
    });
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {{"Q", "A"}, {"W", "ß"}, {"E", "E"}, {"R", "R"}, {"T", "T"}, {"Enter", "Enter"}, {"F1", "F1"}};
    for (const auto& c : cases)
        EXPECT_EQ(labels.name(usageForName(QString::fromLatin1(c.name))), QString::fromUtf8(c.shown)) << c.name;
}

TEST(KeyLabels, ACombinationsTextIsRelabelledNameByName)
{
    const auto german = platform::namedLayoutKeyLabels(QStringLiteral("de"));
    ASSERT_TRUE(german.has_value());
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Ctrl+Y", "Ctrl+Z"},
        {"Alt+Ctrl+Z", "Alt+Ctrl+Y"},
        {"Ctrl+Shift+-", "Ctrl+Shift+ß"},
        {"Num +", "Num +"},
        {"Ctrl+Num +", "Ctrl+Num +"},
        {"Right Alt+Num -+Y", "Right Alt+Num -+Z"},
        {"Shift+Right Shift", "Shift+Right Shift"},
        {"mouse:left", "mouse:left"},
        {"Foo+Y+", "Foo+Z+"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(german->relabel(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;
    EXPECT_EQ(KeyLabels().relabel(QStringLiteral("Ctrl+Y")), QStringLiteral("Ctrl+Y"));
}
