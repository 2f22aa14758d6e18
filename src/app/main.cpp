#include "commandline.h"
#include "language.h"
#include "mainform.h"

#include <QApplication>
#include <QTimer>

#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationVersion(QStringLiteral(LEXPACK_VERSION));
    const QString catalogues = QStringLiteral("/translations");
    StartRequest request;
    {
        // Help, version and a bad option are answered before the window system is
        // needed, so they work where there is no display. Qt sees no argument here: the
        // files are ours alone.
        int nameOnly = 1;
        QCoreApplication commandLine(nameOnly, argv);
        QObject translators; // gone before the application object
        installTranslations(QCoreApplication::applicationDirPath() + catalogues, &translators);
        request = readCommandLine(programArguments(argc, argv));
    }
    if (request.exitCode >= 0)
        return request.exitCode;

    // A file named like one of Qt's options ("-platformpluginpath") must never be read as
    // one: the window's application object gets only the options the parse set apart.
    std::vector<QByteArray> qtArguments{QByteArray(argv[0])};
    for (const QString &option : std::as_const(request.qtOptions))
        qtArguments.push_back(option.toLocal8Bit());
    std::vector<char *> qtArgv;
    for (QByteArray &argument : qtArguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtArguments.size());

    QApplication app(qtArgc, qtArgv.data());
    installTranslations(QCoreApplication::applicationDirPath() + catalogues, &app);
    MainForm window;
    window.show();
    // Files named on the command line (or by a file manager) make one batch, as a drop does.
    if (!request.files.isEmpty())
        QTimer::singleShot(0, &window, [&] { window.processFiles(request.files); });
    return app.exec();
}
