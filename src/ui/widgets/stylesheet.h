#pragma once
// The windows' look is a Qt style sheet. One is built in; a file "styles/air.qss" replaces it,
// looked for first under the executable's folder and then under the working directory.

#include <QString>

namespace tavrel::ui {

QString builtInStyleSheet();

// The text of the first "styles/air.qss" that exists (executable's folder first); the
// built-in style when there is none, or when that file cannot be read or is unreasonably large.
QString loadStyleSheet(const QString& executableDir);

}  // namespace tavrel::ui
