#ifndef GUITEST_H
#define GUITEST_H

// What the GUI suites share: widgets by name, inputs for the fake compressor and its
// run log, answers to modal dialogs, and a catalogue made in code.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

#include <functional>

// The child of `parent` called `name`; a missing one ends the run.
template<typename T = QWidget>
T *child(const QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

// Writes a `size`-byte input (sparse: large sizes take no disk) and the ".fake" sidecar
// that steers the fake compressor for it, or removes a sidecar left from before.
inline QString writeInput(const QString &path, qint64 size, const QByteArray &fake = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path), sidecar(path + QLatin1String(".fake"));
    const bool sidecarOk = fake.isEmpty() ? (!sidecar.exists() || sidecar.remove())
                                          : sidecar.open(QIODevice::WriteOnly) && sidecar.write(fake) == fake.size();
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size) || !sidecarOk)
        qFatal("cannot create %s", qPrintable(path));
    return path;
}

// The runs in the fake compressor's log, each its arguments joined by tabs, version
// probes left out; `clear` starts the log afresh.
inline QStringList toolRuns(const QString &logPath, bool clear = false)
{
    QFile log(logPath);
    QStringList runs;
    if (log.open(QIODevice::ReadOnly))
        runs = QString::fromLocal8Bit(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (clear)
        log.remove();
    runs.removeAll(QStringLiteral("-V"));
    return runs;
}

// Answers the first modal dialog that opens while this object lives: a modal exec()
// blocks the test, so the answer comes from a timer inside the dialog's own loop. The
// answer must close the dialog.
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(QWidget *)> answer)
        : answer(std::move(answer))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible())
                return;
            timer.stop();
            done = true;
            this->answer(dialog);
        });
        timer.start(20);
    }
    bool answered() const { return done; }

private:
    QTimer timer;
    std::function<void(QWidget *)> answer;
    bool done = false;
};

// Installed while it lives. It answers in the window's context only, as a catalogue made
// from the window's sources would; an empty answer leaves the text untranslated.
class Catalogue : public QTranslator
{
public:
    explicit Catalogue(std::function<QString(const QString &)> translation)
        : translation(std::move(translation))
    {
        QCoreApplication::installTranslator(this);
    }
    ~Catalogue() override { QCoreApplication::removeTranslator(this); }
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        return qstrcmp(context, "MainForm") == 0 ? translation(QString::fromUtf8(source)) : QString();
    }

private:
    std::function<QString(const QString &)> translation;
};

#endif // GUITEST_H
