#pragma once
// Every test program that writes a key keeps its write histories in a folder of its own: ctest
// runs test programs side by side, and none may read another's history or the user's.

#include <QFile>
#include <QTemporaryDir>

namespace tavrel::test {

// Points XDG_STATE_HOME at this program's own temporary folder, the first time it is called;
// the folder goes when the program ends.
inline QString useOwnStateHome()
{
    static QTemporaryDir folder;
    static const bool set = qputenv("XDG_STATE_HOME", QFile::encodeName(folder.path()));
    (void)set;
    return folder.path();
}

}  // namespace tavrel::test
