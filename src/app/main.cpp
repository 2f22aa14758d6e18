#include "mainform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(LEXPACK_VERSION));
    MainForm window;
    window.show();
    return app.exec();
}
