#include "config/configio.h"
#include "i18n/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using tavrel::i18n::Language;
using tavrel::i18n::languageFor;

namespace tavrel::i18n {
void PrintTo(Language language, std::ostream* out)
{
    *out << (language == Language::Chinese ? "Chinese" : "English");
}
}  // namespace tavrel::i18n

namespace {

struct LocaleCase {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    Language expected;
};

// Translators need an application to be installed in.
QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_language";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

}  // namespace

TEST(Language, FollowsTheLocaleOfTheMessages)
{
    const LocaleCase cases[] = {
        // No language at all keeps the texts as written.
        {"", "", "", Language::Chinese},
        {"", "", "C", Language::Chinese},
        {"", "", "POSIX", Language::Chinese},
        {"", "", "C.UTF-8", Language::Chinese},
        {"C", "", "", Language::Chinese},
        // Chinese, in any territory, codeset or modifier.
        {"", "", "zh_CN.UTF-8", Language::Chinese},
        {"", "", "zh_TW", Language::Chinese},
        {"", "", "zh_HK.Big5HKSCS", Language::Chinese},
        {"", "", "zh", Language::Chinese},
        {"", "", "zh_CN.GB18030@stroke", Language::Chinese},
        // Every other language is English.
        {"", "", "en_US.UTF-8", Language::English},
        {"", "", "en_GB", Language::English},
        {"", "", "de_DE", Language::English},
        {"", "", "fr_FR@euro", Language::English},
        {"", "", "ja_JP.UTF-8", Language::English},
        {"", "", "zu_ZA", Language::English},
        {"", "", "sr_RS@latin", Language::English},
        // LC_ALL wins over LC_MESSAGES, which wins over LANG; an empty one counts as unset.
        {"de_DE.UTF-8", "zh_CN.UTF-8", "zh_CN.UTF-8", Language::English},
        {"zh_CN.UTF-8", "de_DE.UTF-8", "en_US.UTF-8", Language::Chinese},
        {"", "fr_FR.UTF-8", "zh_CN.UTF-8", Language::English},
        {"", "zh_TW.UTF-8", "en_US.UTF-8", Language::Chinese},
        {"C", "", "en_US.UTF-8", Language::Chinese},
        {"", "POSIX", "de_DE", Language::Chinese},
        {"", "", "en_US.UTF-8", Language::English},
    };
    for (const LocaleCase& c : cases)
        EXPECT_EQ(languageFor(QString::fromLatin1(c.lcAll), QString::fromLatin1(c.lcMessages), QString::fromLatin1(c.lang)),
                  c.expected)
            << "LC_ALL=" << c.lcAll << " LC_MESSAGES=" << c.lcMessages << " LANG=" << c.lang;
}

TEST(Language, ReadsTheEnvironment)
{
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "de_DE.UTF-8");
    EXPECT_EQ(tavrel::i18n::systemLanguage(), Language::English);
    qputenv("LC_MESSAGES", "zh_CN.UTF-8");
    EXPECT_EQ(tavrel::i18n::systemLanguage(), Language::Chinese);
    qputenv("LC_ALL", "C");
    EXPECT_EQ(tavrel::i18n::systemLanguage(), Language::Chinese);
    qputenv("LC_ALL", "fr_FR@euro");
    EXPECT_EQ(tavrel::i18n::systemLanguage(), Language::English);
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qunsetenv("LANG");
    EXPECT_EQ(tavrel::i18n::systemLanguage(), Language::Chinese);
}

// The texts of the configuration write have no window: they follow the language as the
// windows do, and come back as written once the translation is gone.
TEST(Language, TranslatesTheTextsOfTheSessionWithoutWidgets)
{
    app();
    EXPECT_EQ(tavrel::i18n::installTranslation(Language::Chinese), nullptr);
    const tavrel::WriteOutcome done{6, {}};
    const tavrel::WriteOutcome oneLeft{6, {2}};
    const tavrel::WriteOutcome threeLeft{6, {0, 3, 5}};
    EXPECT_EQ(tavrel::completionText(threeLeft), QStringLiteral("设置失败！3个按键未写入：1、4、6。"));

    QTranslator* english = tavrel::i18n::installTranslation(Language::English);
    ASSERT_NE(english, nullptr) << "the English translation is not compiled in";
    EXPECT_EQ(tavrel::completionText(done), QStringLiteral("Settings saved."));
    EXPECT_EQ(tavrel::completionText(oneLeft), QStringLiteral("Settings not saved. Key 3 was not written."));
    EXPECT_EQ(tavrel::completionText(threeLeft), QStringLiteral("Settings not saved. 3 keys were not written: 1, 4, 6."));

    delete english;
    EXPECT_EQ(tavrel::completionText(done), QStringLiteral("设置完成！"));
    EXPECT_EQ(tavrel::completionText(threeLeft), QStringLiteral("设置失败！3个按键未写入：1、4、6。"));
}

namespace {

struct Message {
    QString context;
    QString source;
    QStringList translations;  // one, or one per plural form
    bool finished = true;
};

std::vector<Message> readTs(const QString& path)
{
    std::vector<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            messages.push_back({context, {}, {}, true});
        } else if (xml.name() == QLatin1String("source") && !messages.empty()) {
            messages.back().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation") && !messages.empty()) {
            Message& m = messages.back();
            m.finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            // Either plain text or one <numerusform> per plural form.
            QString text;
            while (xml.readNext() != QXmlStreamReader::EndElement && !xml.atEnd()) {
                if (xml.isCharacters())
                    text += xml.text();
                else if (xml.isStartElement())
                    m.translations << xml.readElementText();
            }
            if (m.translations.isEmpty())
                m.translations << text;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

// The placeholders a text fills in: %1, %2 ... and the count %n.
QSet<QString> placeholders(const QString& text)
{
    QSet<QString> found;
    static const QRegularExpression placeholder(QStringLiteral("%(\\d+|n)"));
    for (const QRegularExpressionMatch& m : placeholder.globalMatch(text))
        found.insert(m.captured());
    return found;
}

}  // namespace

// Every text has its English, and the English fills in what the text fills in: a lost "%1"
// would show a raw placeholder, a stray one a wrong number.
TEST(Language, EveryTextHasAnEnglishThatKeepsItsPlaceholders)
{
    const std::vector<Message> messages = readTs(QStringLiteral(TAVREL_TRANSLATIONS_DIR "/tavrel_en.ts"));
    ASSERT_GT(messages.size(), 40u);
    for (const Message& m : messages) {
        const std::string where = (m.context + QStringLiteral(": ") + m.source).toStdString();
        EXPECT_TRUE(m.finished) << where;
        ASSERT_FALSE(m.translations.isEmpty()) << where;
        QSet<QString> wanted = placeholders(m.source);
        for (qsizetype form = 0; form < m.translations.size(); ++form) {
            const QString& english = m.translations[form];
            EXPECT_FALSE(english.trimmed().isEmpty()) << where;
            EXPECT_FALSE(english.contains(QRegularExpression(QStringLiteral("\\p{Han}")))) << where;
            QSet<QString> got = placeholders(english);
            // The singular may name the one thing instead of counting it.
            if (form == 0 && m.translations.size() > 1)
                got.insert(QStringLiteral("%n"));
            EXPECT_EQ(got, wanted) << where << " -> " << english.toStdString();
        }
    }
}
