// coordconv: the desktop converter. The program takes no arguments of its own.
#include "MainWindow.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);

    // Every text of the program is Russian; so are the buttons of Qt's own
    // message boxes and file dialogs, whatever the desktop's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&qtTexts);

    MainWindow window;
    window.show();
    return application.exec();
}
