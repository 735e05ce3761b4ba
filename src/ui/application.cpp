#include "ui/application.h"

#include "ui/errorbox.h"

namespace tavrel {

TavrelApplication::TavrelApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Tavrel"));
    setApplicationDisplayName(QStringLiteral("Tavrel"));
}

bool TavrelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        postErrorBox(QString::fromUtf8(e.what()));
    }
    return false;
}

}  // namespace tavrel
