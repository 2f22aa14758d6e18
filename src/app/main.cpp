#include "commandline.h"
#include "language.h"
#include "mainform.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationVersion(QStringLiteral(LEXPACK_VERSION));
    StartRequest request;
    {
        // Help, version and a bad option are answered before the window system is
        // needed, so they work where there is no display.
        QCoreApplication commandLine(argc, argv);
        request = readCommandLine();
    }
    if (request.exitCode >= 0)
        return request.exitCode;

    QApplication app(argc, argv);
    installTranslations(QCoreApplication::applicationDirPath() + QLatin1String("/translations"),
                        &app);
    MainForm window;
    window.show();
    // Files named on the command line (or by a file manager) make one batch, as a drop does.
    if (!request.files.isEmpty())
        QTimer::singleShot(0, &window, [&] { window.processFiles(request.files); });
    return app.exec();
}
