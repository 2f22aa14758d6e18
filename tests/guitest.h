#ifndef GUITEST_H
#define GUITEST_H

// What the GUI suites share: widgets, fake inputs, drag and drop, actions inside a batch.

#include <QApplication>
#include <QFile>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>

// The child of `parent` called `name`; a missing one ends the run.
template<typename T = QWidget>
T *child(const QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QLatin1String(name));
    return found ? found : (qFatal("no %s named %s", T::staticMetaObject.className(), name), nullptr);
}

// A sparse `size`-byte input, with the ".fake" file that steers the fake compressor.
inline QString writeInput(const QString &path, qint64 size, const QByteArray &fake = {})
{
    QFile file(path), sidecar(path + QLatin1String(".fake"));
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size) || (sidecar.exists() && !sidecar.remove())
        || (!fake.isEmpty() && !(sidecar.open(QIODevice::WriteOnly) && sidecar.write(fake) == fake.size())))
        qFatal("cannot create %s", qPrintable(path));
    return path;
}

// Drags and drops `urls` straight on the handlers (QApplication would hide a handler that
// fails to refuse); tells whether the drag was accepted.
inline bool dragAndDrop(QWidget &window, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject &>(window).event(&enter);
    static_cast<QObject &>(window).event(&drop);
    return enter.isAccepted();
}

// Runs `action` once, at the first turn of the event loop (pumps included) where `when` holds.
struct During : QObject
{
    During(std::function<bool()> when, std::function<void()> action)
    {
        connect(&timer, &QTimer::timeout, this, [=] {
            if (!fired && when())
                fired = true, action();
        });
        timer.start(0);
    }
    QTimer timer;
    bool fired = false;
};

#endif // GUITEST_H
