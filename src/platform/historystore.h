#pragma once
// The files of the write histories: one per device in a folder of the user's only, each a list of
// lines that only grows, one line per entry. A line is appended whole by one write(2) on a file
// opened O_APPEND and synced before the write it records sends anything, so a crash or a full
// disk never touches the lines before it; a line cut short (the disk filled during that one
// write) is cut off again, or, where that fails, ended with a newline by the next append so it
// stays one bad line of its own. Once a file holds far more lines than a history keeps, it is
// replaced whole by a copy of its last lines (writeUserFile(): a new file renamed over it).

#include "platform/ioresult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <string>

namespace tavrel::platform {

class HistoryStore {
public:
    // The histories in `folder` (bytes, as the kernel takes paths).
    explicit HistoryStore(std::string folder);

    // $XDG_STATE_HOME/tavrel/history, or ~/.local/state/tavrel/history when XDG_STATE_HOME is
    // unset or not an absolute path.
    static std::string defaultFolder();

    const std::string& folder() const { return m_folder; }

    // Appends `line` (one line, with its newline) to the file named `fileName`, making the folder
    // (0700) and the file (0600) if need be. Past keep + keep / 4 lines, the file keeps its last
    // `keep`.
    IoResult append(const QString& fileName, QByteArrayView line, int keep);

    struct Read {
        IoResult outcome = IoResult::success();  // a file that is not there reads as empty
        QByteArray bytes;
    };
    Read read(const QString& fileName) const;

    // The names of the history files there, sorted.
    QStringList fileNames() const;

private:
    std::string pathOf(const QString& fileName) const;
    IoResult makeFolder() const;
    IoResult trim(const std::string& path, int keep) const;

    std::string m_folder;
};

}  // namespace tavrel::platform
