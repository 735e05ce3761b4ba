#include "config/configfile.h"
#include "config/configio.h"
#include "i18n/language.h"
#include "platform/filefailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

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
        EXPECT_EQ(languageFor(QString::fromLatin1(c.lcAll), QString::fromLatin1(c.lcMessages),
                              QString::fromLatin1(c.lang)),
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

// A key file with a key beyond a six-key device: the reason why it is refused.
QString beyondTheDevice()
{
    tavrel::configfile::ConfigFile file;
    file.keys.push_back({7, tavrel::KeyRecord{0, 0x04, 0, 0, 0}, QStringLiteral("A"), 3});
    const auto checked = tavrel::configfile::validateFor(file, 6, false);
    const auto* errors = std::get_if<tavrel::configfile::FileErrors>(&checked);
    return errors && errors->size() == 1 ? errors->front().reason : QString();
}

// Texts without a window follow the language as the windows do: each translation turns the
// texts written in the other language, leaves those written in its own, and the texts come back
// as written once it is gone.
TEST(Language, TranslatesTheTextsOfTheSessionAndTheKeyFileWithoutWidgets)
{
    app();
    const tavrel::WriteOutcome done{};
    const tavrel::WriteOutcome oneLeft{{2}};
    const tavrel::WriteOutcome threeLeft{{0, 3, 5}};
    const QString english = QStringLiteral("key 7 is beyond the device, which has 6 keys");
    EXPECT_EQ(beyondTheDevice(), english);

    const auto unknownName = [] {
        const auto parsed = tavrel::parseAssignment(QStringLiteral("Page+A"), false);
        const auto* error = std::get_if<tavrel::AssignmentError>(&parsed);
        return error ? error->reason : QString();
    };
    const tavrel::IoResult full = tavrel::IoResult::fromErrno(ENOSPC);
    EXPECT_EQ(unknownName(), QStringLiteral("unknown key name \"Page\" (did you mean \"Page Up\" or \"Page Down\"?)"));
    EXPECT_EQ(tavrel::fileFailureText(full), QStringLiteral("the disk is full"));

    QTranslator* chinese = tavrel::i18n::installTranslation(Language::Chinese);
    ASSERT_NE(chinese, nullptr) << "the Chinese translation is not compiled in";
    EXPECT_EQ(tavrel::completionText(threeLeft), QStringLiteral("设置失败！3个按键未写入：1、4、6。"));
    EXPECT_EQ(beyondTheDevice(), QStringLiteral("按键7超出设备范围：设备只有6个按键"));
    EXPECT_EQ(unknownName(), QStringLiteral("未知的键名 \"Page\"（您是不是要输入 \"Page Up\" 或 \"Page Down\"？）"));
    EXPECT_EQ(tavrel::fileFailureText(full), QStringLiteral("磁盘已满"));
    delete chinese;
    EXPECT_EQ(beyondTheDevice(), english);

    QTranslator* translator = tavrel::i18n::installTranslation(Language::English);
    ASSERT_NE(translator, nullptr) << "the English translation is not compiled in";
    EXPECT_EQ(tavrel::completionText(done), QStringLiteral("Settings saved."));
    EXPECT_EQ(tavrel::completionText(oneLeft), QStringLiteral("Settings not saved. Key 3 was not written."));
    EXPECT_EQ(tavrel::completionText(threeLeft),
              QStringLiteral("Settings not saved. 3 keys were not written: 1, 4, 6."));
    EXPECT_EQ(beyondTheDevice(), english);

    delete translator;
    EXPECT_EQ(tavrel::completionText(done), QStringLiteral("设置完成！"));
    EXPECT_EQ(tavrel::completionText(threeLeft), QStringLiteral("设置失败！3个按键未写入：1、4、6。"));
}

// Qt's dialogs (the file dialog, a message box's buttons) speak Chinese with the Chinese
// language: their texts come from Qt's own translation, which the package depends on.
TEST(Language, QtsOwnTextsHaveQtsChineseTranslation)
{
    app();
    const auto ok = [] { return QCoreApplication::translate("QPlatformTheme", "OK"); };
    EXPECT_EQ(tavrel::i18n::installQtTranslation(Language::English), nullptr);
    EXPECT_EQ(ok(), QStringLiteral("OK"));
    QTranslator* qt = tavrel::i18n::installQtTranslation(Language::Chinese);
    ASSERT_NE(qt, nullptr) << "no qtbase_zh_CN.qm in "
                           << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString()
                           << " (Debian package qt6-translations-l10n)";
    EXPECT_EQ(ok(), QStringLiteral("确定"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("查找范围："));
    delete qt;
    EXPECT_EQ(ok(), QStringLiteral("OK"));
}

namespace {

struct Message {
    QString context;
    QString source;
    QString comment;           // tells apart two texts with the same source
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
            messages.push_back({context, {}, {}, {}, true});
        } else if (xml.name() == QLatin1String("source") && !messages.empty()) {
            messages.back().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("comment") && !messages.empty()) {
            messages.back().comment = xml.readElementText();
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

namespace {

// The words typed on the command line, which a translation keeps as they are.
QStringList typedWords(const QString& text)
{
    static const QRegularExpression word(QStringLiteral(
        R"(--[a-z]+|SERIAL\|INDEX|\b(?:KEY|ASSIGNMENT|FILE|COMMAND|OPTIONS|README)\b|tavrelctl|70-tavrel\.rules)"));
    QStringList words;
    for (const QRegularExpressionMatch& m : word.globalMatch(text))
        words << m.captured();
    words.sort();
    return words;
}

// The lines a help text shows as typed: "Usage: ..." whole, and the first column of a table
// ("  set KEY ASSIGNMENT   ", "  --device SERIAL|INDEX  ", "  2  ") with the gap that aligns the
// second.
QStringList typedLines(const QString& text)
{
    static const QRegularExpression line(QStringLiteral(R"(^(?:Usage: .*|  \S.*?  +(?=\S)))"),
                                         QRegularExpression::MultilineOption);
    QStringList lines;
    for (const QRegularExpressionMatch& m : line.globalMatch(text))
        lines << m.captured();
    return lines;
}

// What a Chinese text holds: Han characters, or at least CJK punctuation (a list's "、").
const QRegularExpression chinese(QStringLiteral(R"([\p{Han}\x{3000}-\x{303F}\x{FF00}-\x{FF60}])"));

}  // namespace

// The texts written in English (tavrelctl's, the key file's fault reasons, why an assignment's
// name is refused, why a file was not read or written) have their Chinese, and it keeps what the text fills in and what a user types.
TEST(Language, EveryEnglishTextHasAChineseThatKeepsItsPlaceholdersAndTypedWords)
{
    const QStringList englishContexts{QStringLiteral("tavrelctl"), QStringLiteral("tavrel::configfile"),
                                      QStringLiteral("tavrel::assignment"), QStringLiteral("tavrel::files")};
    const std::vector<Message> messages = readTs(QStringLiteral(TAVREL_TRANSLATIONS_DIR "/tavrel_zh.ts"));
    ASSERT_GT(messages.size(), 80u);
    for (const Message& m : messages) {
        const std::string where = (m.context + QStringLiteral(": ") + m.source).toStdString();
        EXPECT_TRUE(englishContexts.contains(m.context)) << where;
        EXPECT_TRUE(m.finished) << where;
        ASSERT_EQ(m.translations.size(), 1) << where;
        const QString& translation = m.translations.first();
        EXPECT_TRUE(translation.contains(chinese)) << where << " -> " << translation.toStdString();
        EXPECT_EQ(placeholders(translation), placeholders(m.source)) << where << " -> " << translation.toStdString();
        EXPECT_EQ(typedWords(translation), typedWords(m.source)) << where << " -> " << translation.toStdString();
        const QStringList translatedLines = translation.split(u'\n');
        for (const QString& typed : typedLines(m.source)) {
            EXPECT_TRUE(std::any_of(translatedLines.cbegin(), translatedLines.cend(),
                                    [&](const QString& l) { return l.startsWith(typed); }))
                << where << "\n-> " << translation.toStdString() << "\nlacks \"" << typed.toStdString() << '"';
        }
    }
}

// tavrel_zh.ts holds exactly the texts that lupdate finds in the English-source files, and
// tavrel_en.ts none of them: a text changed without `update_translations` fails here.
TEST(Language, TheChineseTranslationHoldsTheTextsOfTheEnglishSourceFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fresh = dir.filePath(QStringLiteral("fresh_zh.ts"));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(TAVREL_LUPDATE),
                  QStringList{QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none")}
                      + QStringLiteral(TAVREL_ENGLISH_SOURCES).split(u'|') + QStringList{QStringLiteral("-ts"), fresh});
    ASSERT_TRUE(lupdate.waitForFinished(60000)) << lupdate.errorString().toStdString();
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAll().toStdString();

    // A text is told apart by its context, its source and its comment.
    const auto key = [](const Message& m) {
        return m.context + QLatin1Char('|') + m.source + QLatin1Char('|') + m.comment;
    };
    const auto keys = [&](const std::vector<Message>& messages) {
        QSet<QString> found;
        for (const Message& m : messages)
            found.insert(key(m));
        return found;
    };
    const QSet<QString> found = keys(readTs(fresh));
    ASSERT_GT(found.size(), 80);
    const QSet<QString> kept = keys(readTs(QStringLiteral(TAVREL_TRANSLATIONS_DIR "/tavrel_zh.ts")));
    for (const QString& text : found - kept)
        ADD_FAILURE() << "not in tavrel_zh.ts: " << text.toStdString();
    for (const QString& text : kept - found)
        ADD_FAILURE() << "no longer in the sources: " << text.toStdString();

    for (const Message& m : readTs(QStringLiteral(TAVREL_TRANSLATIONS_DIR "/tavrel_en.ts")))
        EXPECT_FALSE(found.contains(key(m))) << "an English-source text in tavrel_en.ts: " << m.source.toStdString();
}
