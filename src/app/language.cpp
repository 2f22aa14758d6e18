#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Loads the first of `names` found in the first folder that has one.
void install(const QStringList &names, const QStringList &folders, QObject *owner)
{
    for (const QString &folder : folders) {
        for (const QString &name : names) {
            auto *translator = new QTranslator(owner);
            if (translator->load(QLocale(), name, QStringLiteral("_"), folder)
                && QCoreApplication::installTranslator(translator))
                return;
            delete translator;
        }
    }
}

} // namespace

void installTranslations(const QString &folder, QObject *owner)
{
    // Qt's catalogues are in Qt's own folder on Linux; on Windows they are deployed into
    // the program's own folder (qtbase_<lang>.qm, or windeployqt's combined qt_<lang>.qm).
    install({QStringLiteral("qtbase"), QStringLiteral("qt")},
            {QLibraryInfo::path(QLibraryInfo::TranslationsPath), folder}, owner);
    install({QStringLiteral("lexpack")}, {folder}, owner);
}
