#include <QApplication>
#include <QWidget>

namespace tavrel {
QWidget* createMainWindow();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavrel"));
    QWidget* w = tavrel::createMainWindow();
    w->show();
    const int rc = app.exec();
    delete w;
    return rc;
}
