#include "trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef LEXPACK_HAVE_GIO
// GLib's headers use "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef LEXPACK_HAVE_GIO
QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString takeMessage(GError *error)
{
    const QString text = QString::fromUtf8(error->message);
    g_error_free(error);
    return text;
}

bool swap(const QString &a, const QString &b)
{
    return renameat2(AT_FDCWD, native(a).constData(), AT_FDCWD, native(b).constData(),
                     RENAME_EXCHANGE)
        == 0;
}

QString dataHome()
{
    return QFile::decodeName(g_get_user_data_dir());
}

dev_t deviceOf(const QString &path)
{
    struct stat info = {};
    return stat(native(path).constData(), &info) == 0 ? info.st_dev : dev_t(-1);
}

// GIO does not say where a file went; in the home Trash it is found by its identity.
QString placeInHomeTrash(const QString &name, const struct stat &entry)
{
    const QDir files(dataHome() + QLatin1String("/Trash/files"));
    const QStringList candidates = files.entryList(
        {QFileInfo(name).fileName().section(QLatin1Char('.'), 0, 0) + QLatin1Char('*')},
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &candidate : candidates) {
        struct stat found = {};
        if (lstat(native(files.filePath(candidate)).constData(), &found) == 0
            && found.st_dev == entry.st_dev && found.st_ino == entry.st_ino)
            return files.filePath(candidate);
    }
    return QString();
}
#else
// Windows has no exchange of two names in one step.
bool swap(const QString &, const QString &)
{
    return false;
}
#endif

// Moves `path` itself, never what a link points to, to the Trash; tells why it could not.
QString trashOne(const QString &path, QString &where)
{
#ifdef LEXPACK_HAVE_GIO
    const QByteArray target = native(path);
    struct stat entry = {};
    lstat(target.constData(), &entry);
    GFile *file = g_file_new_for_path(target.constData());
    GError *error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (!trashed)
        return takeMessage(error);
    where = placeInHomeTrash(path, entry);
    return QString();
#else
    return QFile::moveToTrash(path, &where)
        ? QString()
        : QCoreApplication::translate("Trash", "the Recycle Bin cannot take it");
#endif
}

} // namespace

bool Trash::present(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString Trash::refusal(const QString &path)
{
#ifdef LEXPACK_HAVE_GIO
    // As the base-directory rules ask, a missing data folder is made private to its user.
    if (g_mkdir_with_parents(g_get_user_data_dir(), 0700) != 0)
        return QCoreApplication::translate("Trash", "cannot create %1: %2")
            .arg(dataHome(), systemError(errno));
    GFile *file = g_file_new_for_path(native(path).constData());
    GError *error = nullptr;
    GFileInfo *info = g_file_query_info(file, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH,
                                        G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, &error);
    g_object_unref(file);
    if (!info)
        return takeMessage(error);
    const bool canTrash =
        g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH);
    g_object_unref(info);
    const QString folder = QFileInfo(path).absolutePath();
    if (!canTrash)
        return QCoreApplication::translate("Trash", "its file system has no Trash of this user's");
    // A file on the home's file system goes to the home Trash, which GIO takes without
    // looking into it: its folders must let us write, or it would refuse only after the run.
    if (deviceOf(QFile::decodeName(g_get_home_dir())) != deviceOf(folder))
        return QString();
    for (const char *sub : {"/Trash/files", "/Trash/info"}) {
        QString made = dataHome() + QLatin1String(sub);
        while (!present(made))
            made = QFileInfo(made).path();
        if (!QFileInfo(made).isDir() || access(native(made).constData(), W_OK | X_OK) != 0)
            return QCoreApplication::translate("Trash", "cannot write in %1: %2")
                .arg(made, systemError(errno));
    }
    return QString();
#else
    Q_UNUSED(path);
    return QString();
#endif
}

QString Trash::setAside(const QString &from, const QString &to)
{
#ifdef LEXPACK_HAVE_GIO
    if (renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(),
                  RENAME_NOREPLACE)
        == 0)
        return QString();
    if (errno != EINVAL && errno != ENOSYS)
        return QCoreApplication::translate("Trash", "cannot move %1 to %2: %3")
            .arg(from, to, systemError(errno));
        // A file system without the flag: the test and the rename are two steps there.
#endif
    QFile file(from);
    if (!present(to) && file.rename(to))
        return QString();
    return QCoreApplication::translate("Trash", "cannot move %1 to %2: %3")
        .arg(from, to, file.errorString());
}

QString Trash::putBack(const QString &aside, const QString &name)
{
#ifdef LEXPACK_HAVE_GIO
    if (::rename(native(aside).constData(), native(name).constData()) == 0)
        return QString();
    const QString why = systemError(errno);
#else
    if (QFileInfo(name).isFile())
        QFile::remove(name);
    QFile file(aside);
    if (file.rename(name))
        return QString();
    const QString why = file.errorString();
#endif
    return QCoreApplication::translate("Trash", "the previous %1 is kept as %2: %3")
        .arg(name, aside, why);
}

QString Trash::discard(const QString &previous, const QString &name, QString &where)
{
    where.clear();
    // Under its own name in the Trash, the previous file comes back there when restored: it
    // trades places with the new file in one step where the system can, else the new file is
    // parked for a moment; failing both, it goes under the name it was set aside as.
    const QString parked = previous + QLatin1String(".new");
    bool wasParked = false;
    const bool swapped = swap(previous, name);
    if (!swapped && !present(parked) && setAside(name, parked).isEmpty()
        && !(wasParked = setAside(previous, name).isEmpty()))
        setAside(parked, name);
    QString newAt = swapped ? previous : wasParked ? parked : QString();
    QString why = trashOne(newAt.isEmpty() ? previous : name, where);
    if (!why.isEmpty()) {
        if (swapped ? !swap(previous, name) : wasParked && !setAside(name, previous).isEmpty())
            return QCoreApplication::translate(
                       "Trash", "the previous %1 is still there and the new one is %2: %3")
                .arg(name, newAt, why);
        newAt = wasParked ? parked : QString();
        why = QCoreApplication::translate("Trash", "the previous %1 is kept as %2: %3")
                  .arg(name, previous, why);
    }
    const QString back = newAt.isEmpty() ? QString() : setAside(newAt, name);
    return back.isEmpty() ? why
                          : QCoreApplication::translate("Trash", "the new %1 is kept as %2: %3")
                                .arg(name, newAt, back);
}
