#include "i18n/language.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTranslator>

namespace tavrel::i18n {

namespace {

// The translations are compiled into the program, so no install path decides whether they load.
const QString EnglishTranslation = QStringLiteral(":/i18n/tavrel_en.qm");

}  // namespace

Language languageFor(const QString& lcAll, const QString& lcMessages, const QString& lang)
{
    QString locale = lang;
    if (!lcMessages.isEmpty())
        locale = lcMessages;
    if (!lcAll.isEmpty())
        locale = lcAll;
    // "language[_territory][.codeset][@modifier]": only the language counts.
    const qsizetype end = locale.indexOf(QRegularExpression(QStringLiteral("[_.@]")));
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

QTranslator* installTranslation(Language language)
{
    if (language == Language::Chinese || !QCoreApplication::instance())
        return nullptr;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(EnglishTranslation) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}  // namespace tavrel::i18n
