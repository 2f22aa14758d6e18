#ifndef EVENTPUMP_H
#define EVENTPUMP_H

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>

class QWidget;
class ResultList;

// Pumps the event loop for a batch, painting the window (and bringing in new rows) at
// most once a frame: a run of many small files is not slowed by frames nobody could see.
// What was held back is painted at the next pump that is due, or by paintNow() while a
// longer run is waited on.
class EventPump : public QObject
{
public:
    EventPump(QWidget *window, ResultList &rows);
    ~EventPump() override;

    void operator()(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

    bool paintHeld() const { return held; }
    int msUntilPaint() const;
    // Paints what was held back, without handling any other event.
    void paintNow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void resume();

    QWidget *window;
    ResultList &rows;
    QElapsedTimer sincePaint;
    bool held = false;
};

#endif // EVENTPUMP_H
