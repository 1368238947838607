// coordconv: the desktop converter. The program takes no arguments of its own.
#include "MainWindow.h"
#include "Settings.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // Where QSettings keeps the systems, folders and window size between sessions.
    QCoreApplication::setOrganizationName(QStringLiteral("kelvadra"));
    QCoreApplication::setApplicationName(QStringLiteral("coordconv"));

    // Every text of the program is Russian; so are the buttons of Qt's own
    // message boxes and file dialogs, whatever the desktop's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&qtTexts);

    MainWindow window;
    Settings::restoreWindow(&window);
    window.show();
    const int code = application.exec();
    Settings::saveWindow(&window);
    return code;
}
