#pragma once
// The windows' look is a Qt style sheet. One is built in; a file "air.qss" replaces it, looked
// for beside the program and in the user's configuration folder. Never in the folder the program
// was started from: a sheet can rewrite the windows' texts, and that folder may be anyone's.

#include <QString>
#include <QStringList>

namespace tavrel::ui {

QString builtInStyleSheet();

// The style files, in the order they are looked for: "styles/air.qss" under the executable's
// folder, then "tavrel/air.qss" under $XDG_CONFIG_HOME, or under ~/.config when that is unset or
// not an absolute path. A folder that is not known (empty, or a relative home) gives no file.
QStringList styleSheetFiles(const QString& executableDir, const QString& xdgConfigHome, const QString& home);

// The text of the first of the files that exists; the built-in style when there is none, or when
// that file cannot be read or is unreasonably large.
QString loadStyleSheetFrom(const QStringList& files);

// loadStyleSheetFrom(styleSheetFiles(...)) with $XDG_CONFIG_HOME and $HOME.
QString loadStyleSheet(const QString& executableDir);

}  // namespace tavrel::ui
