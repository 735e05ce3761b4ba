// tavrel-keyemu: emulated programmable keys for trying Tavrel and for end-to-end tests.
//   umockdev-wrapper tavrel-keyemu [--key FIELDS]... [--no-keys] [-- PROGRAM [ARGS...]]
// tools/README.md describes the key fields and the commands.

#include "keyemu/commandshell.h"
#include "keyemu/keyemuprogram.h"
#include "keyemu/keyfields.h"
#include "keyemu/testbed.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

using namespace tavrel::emu;

namespace {

constexpr int UsageError = 2;

void usage(FILE* to)
{
    std::fputs("usage: umockdev-wrapper tavrel-keyemu [--key FIELDS]... [--no-keys] "
               "[-- PROGRAM [ARGS...]]\n"
               "  FIELDS: name=N,serial=S,keys=K[,wireless][,product=P][,vid=V][,pid=P]\n"
               "  Without --key: a wired key \"wired\" and a wireless receiver \"receiver\".\n"
               "  Commands are read from standard input, one per line; try \"help\".\n",
               to);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<KeyModel> models;
    bool defaultKeys = true;
    QString program;
    QStringList programArguments;

    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        QString fields;
        if (std::strcmp(arg, "--") == 0) {
            if (i + 1 < argc) {
                program = QString::fromLocal8Bit(argv[i + 1]);
                for (int j = i + 2; j < argc; ++j)
                    programArguments << QString::fromLocal8Bit(argv[j]);
            }
            break;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            usage(stdout);
            return 0;
        } else if (std::strcmp(arg, "--no-keys") == 0) {
            defaultKeys = false;
            continue;
        } else if (std::strcmp(arg, "--key") == 0 && i + 1 < argc) {
            fields = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strncmp(arg, "--key=", 6) == 0) {
            fields = QString::fromLocal8Bit(arg + 6);
        } else {
            std::fprintf(stderr, "tavrel-keyemu: unknown argument %s\n", arg);
            usage(stderr);
            return UsageError;
        }
        QString why;
        const auto model = parseKeyFields(fields, &why);
        if (!model) {
            std::fprintf(stderr, "tavrel-keyemu: --key %s: %s\n", qPrintable(fields), qPrintable(why));
            return UsageError;
        }
        models.push_back(*model);
        defaultKeys = false;
    }
    if (defaultKeys) {
        KeyModel wired;
        wired.name = QStringLiteral("wired");
        KeyModel receiver;
        receiver.name = QStringLiteral("receiver");
        receiver.wireless = true;
        models = {wired, receiver};
    }

    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);

    try {
        Testbed testbed;
        for (const KeyModel& model : models)
            testbed.add(model);

        KeyEmuProgram emulator(testbed);
        if (!program.isEmpty() && !emulator.startChild(program, programArguments))
            return 127;
        emulator.start();
        return app.exec();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrel-keyemu: %s\n", e.what());
        return UsageError;
    }
}
