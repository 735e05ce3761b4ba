// tavrelctl: reads and changes the keys' assignments from the command line, through the same
// device session as the windows, without a display. "tavrelctl --help" lists the commands.

#include "config/terminaltext.h"
#include "ctl/commandline.h"
#include "ctl/commands.h"
#include "i18n/language.h"
#include "session/devicesession.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace tavrel;

namespace {

// Standard output that could not all be written (a full disk, a closed pipe) fails the command:
// a script must not take a half-written key file for a whole one.
int checkedOutput(int code, QTextStream& out, QTextStream& err)
{
    out.flush();
    const bool written = out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (written)
        return code;
    err << "tavrelctl: "
        << QCoreApplication::translate("tavrelctl", "Standard output could not be written: the output is incomplete.")
        << '\n';
    err.flush();
    return code == ctl::ExitOk ? ctl::ExitOther : code;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The messages are written in English: Chinese under a Chinese locale or none, as the window.
    // Qt's own texts that reach them (why a file is no JSON, a refused option) come from Qt's
    // translation.
    const i18n::Language language = i18n::systemLanguage();
    i18n::installTranslation(language);
    i18n::installQtTranslation(language);
    QCoreApplication::setApplicationName(QStringLiteral("tavrelctl"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const auto parsed = ctl::parseCommandLine(QCoreApplication::arguments());
    if (const auto* failure = std::get_if<ctl::Failure>(&parsed)) {
        for (const QString& line : failure->lines)
            err << "tavrelctl: " << terminalSafe(line) << '\n';
        return failure->code;
    }
    const ctl::Command& command = std::get<ctl::Command>(parsed);
    if (command.verb == ctl::Verb::Help) {
        out << ctl::helpText(command.helpTopic);
        return checkedOutput(ctl::ExitOk, out, err);
    }
    DeviceSession session;
    return checkedOutput(ctl::runCommand(command, session, out, err), out, err);
}
