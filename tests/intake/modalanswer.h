#ifndef MODALANSWER_H
#define MODALANSWER_H

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the first modal dialog that opens while this object lives: a modal exec()
// blocks the test, so the answer has to come from a timer inside the dialog's own loop.
// The answer must close the dialog.
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(QWidget *)> answer)
        : answer(std::move(answer))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start(20);
    }

    bool answered() const { return done; }

private:
    void poll()
    {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        timer.stop();
        done = true;
        answer(dialog);
    }

    QTimer timer;
    std::function<void(QWidget *)> answer;
    bool done = false;
};

#endif // MODALANSWER_H
