#ifndef TRASH_H
#define TRASH_H

#include <QString>

// The file system steps of replacing a file: the previous file is set aside for the run
// and, once the run has succeeded, goes to the desktop's Trash (the freedesktop.org Trash
// through GIO on Linux, the Recycle Bin elsewhere); on failure it is put back. A link is
// always moved itself, never what it points to. Each step tells why it failed.
namespace Trash {

// Something is at `path`, a dangling link included.
bool present(const QString &path);

// Why `path` could not go to the Trash; empty when it can. Makes a missing data folder.
QString refusal(const QString &path);

// Renames `from` to `to` unless something, a dangling link included, is at `to`.
QString setAside(const QString &from, const QString &to);

// Puts a file set aside back under `name`, over a partial output there.
QString putBack(const QString &aside, const QString &name);

// Moves `previous`, set aside for the run that wrote `name`, to the Trash as `name`, so
// that restoring it brings it back under its own name; `name` keeps the new file. `where`
// is its place in the Trash when that is known. On failure the reason names the place
// that each of the two files has been left under.
QString discard(const QString &previous, const QString &name, QString &where);

} // namespace Trash

#endif // TRASH_H
