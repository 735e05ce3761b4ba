#pragma once
// The emulator program's line commands: each command line gives exactly one reply line,
// beginning "ok" or "error". Ending the program and waiting for its child are left to the
// caller, which the reply's action names.

#include <QString>

namespace tavrel::emu {

class Testbed;
class EmulatedDevice;

class CommandShell {
public:
    enum class Action { Reply, Quit, WaitChild };
    struct Result {
        Action action = Action::Reply;
        QString reply;  // empty for WaitChild: the caller replies when the child has ended
    };

    explicit CommandShell(Testbed& testbed) : m_testbed(testbed) {}

    Result run(const QString& line);

    static QString help();

private:
    EmulatedDevice* key(const QString& name, QString* error) const;
    Result listKeys() const;
    Result addKey(const QString& fields);
    // The commands that name a key first; `rest`, the words after the command, starts with it.
    Result runOnKey(const QString& command, const QString& rest);

    Testbed& m_testbed;
};

}  // namespace tavrel::emu
