#pragma once
// The language of Tavrel's texts. The texts of the windows and the device session are written in
// Chinese, and those of tavrelctl and the key file's fault reasons in English; Qt's translation
// system shows each in the language that one rule picks, so every front-end follows it.

#include <QString>

class QTranslator;

namespace tavrel::i18n {

enum class Language { Chinese, English };

// The language for the locale variables as the environment gives them (an empty value is one
// that is unset). LC_ALL wins over LC_MESSAGES, which wins over LANG, as for any program's
// messages. Chinese locales (zh_*) and no language at all (C, POSIX, nothing set) keep the
// texts as they are written; every other language gets English.
Language languageFor(const QString& lcAll, const QString& lcMessages, const QString& lang);

// languageFor() with this process's environment.
Language systemLanguage();

// Installs the translation of the texts into `language` in the running application: for
// Chinese, of those written in English; for English, of those written in Chinese. Returns the
// translator, owned by the application (deleting it takes the translation away again), or null
// when there is no application or the translation cannot be loaded.
QTranslator* installTranslation(Language language);

// Installs Qt's own translation for `language`, for Qt's texts (the file dialog, the buttons of a
// message box, why a text is no JSON), which are written in English: for Chinese, the zh_CN one
// from Qt's translations folder (Debian's qt6-translations-l10n). Returns the translator, owned by
// the application, or null for English, when there is no application or the file cannot be
// loaded.
QTranslator* installQtTranslation(Language language);

}  // namespace tavrel::i18n
