#include "i18n/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

namespace tavrel::i18n {

namespace {

// The translations are compiled into the program, so no install path decides whether they load.
// The English one is of the texts written in Chinese (the windows', the session's); the Chinese
// one of those written in English (tavrelctl's, the key file's fault reasons).
constexpr QLatin1StringView EnglishTranslation(":/i18n/tavrel_en.qm");
constexpr QLatin1StringView ChineseTranslation(":/i18n/tavrel_zh.qm");

}  // namespace

Language languageFor(const QString& lcAll, const QString& lcMessages, const QString& lang)
{
    QString locale = lang;
    if (!lcMessages.isEmpty())
        locale = lcMessages;
    if (!lcAll.isEmpty())
        locale = lcAll;
    // "language[_territory][.codeset][@modifier]": only the language counts.
    static const QRegularExpression languageEnd(QStringLiteral("[_.@]"));
    const qsizetype end = locale.indexOf(languageEnd);
    const QString language = end < 0 ? locale : locale.left(end);
    if (language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX")
        || language == QLatin1String("zh"))
        return Language::Chinese;
    return Language::English;
}

Language systemLanguage()
{
    return languageFor(qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
                       qEnvironmentVariable("LANG"));
}

namespace {

QTranslator* install(const QString& file, const QString& folder = {})
{
    if (!QCoreApplication::instance())
        return nullptr;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(file, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}  // namespace

QTranslator* installTranslation(Language language)
{
    return install(language == Language::Chinese ? ChineseTranslation : EnglishTranslation);
}

QTranslator* installQtTranslation(Language language)
{
    // qtbase holds the dialogs and the message box; qt_zh_CN would also pull in the translations
    // of Qt modules the program does not use, and fails when one of them is not installed.
    if (language != Language::Chinese)
        return nullptr;
    return install(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

}  // namespace tavrel::i18n
