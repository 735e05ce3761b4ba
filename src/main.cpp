#include "i18n/language.h"
#include "ui/mainwindow.h"
#include "ui/singlewindow.h"
#include "ui/statedump.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/picturestyle.h"
#include "ui/widgets/stylesheet.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Keyboard capture listens to the X server, so the program runs as an X client; under
    // Wayland that is XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavrel"));
    // A start while the window is open on this display brings that window forward instead.
    tavrel::SingleWindow singleWindow;
    if (singleWindow.raiseRunning())
        return 0;
    // Before any window exists: every text is translated as it is set, Qt's dialogs' as well.
    const tavrel::i18n::Language language = tavrel::i18n::systemLanguage();
    tavrel::i18n::installTranslation(language);
    tavrel::i18n::installQtTranslation(language);
    tavrel::ui::installFontSubstitutes();
    tavrel::installStateDump();
    QApplication::setStyle(new tavrel::ui::PictureStyle);
    app.setStyleSheet(tavrel::ui::loadStyleSheet(QCoreApplication::applicationDirPath()));

    tavrel::MainWindow mainWindow;
    mainWindow.show();
    singleWindow.listen(&mainWindow);
    QObject::connect(&mainWindow, &tavrel::MainWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    const int rc = app.exec();
    return rc;
}
