#include "eventpump.h"

#include "resultlist.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace {
// Painting the window costs more than a quick tool run.
const int frameMs = 40;
}

EventPump::EventPump(QWidget *window, ResultList &rows)
    : window(window)
    , rows(rows)
{
    window->installEventFilter(this);
}

EventPump::~EventPump()
{
    window->removeEventFilter(this);
    resume();
}

void EventPump::operator()(QEventLoop::ProcessEventsFlags flags)
{
    if (msUntilPaint() > 0) {
        if (!held) {
            window->setUpdatesEnabled(false);
            held = true;
        }
        QCoreApplication::processEvents(flags);
        return;
    }
    resume();
    QCoreApplication::processEvents(flags);
    // The list lays out new rows on a timer of its own, which one pass of the event loop
    // may not reach: paint now, or a run could be waited on with its row unpainted.
    paintNow();
}

int EventPump::msUntilPaint() const
{
    return sincePaint.isValid() ? int(qMax<qint64>(0, frameMs - sincePaint.elapsed())) : 0;
}

void EventPump::paintNow()
{
    resume();
    window->repaint();
    sincePaint.start();
}

bool EventPump::eventFilter(QObject *watched, QEvent *event)
{
    // A modal dialog opened during a pump keeps the batch in that pump: the window must
    // not stay stale under it.
    if (watched == window && event->type() == QEvent::WindowBlocked)
        resume();
    return false;
}

void EventPump::resume()
{
    rows.flush();
    if (held) {
        held = false;
        window->setUpdatesEnabled(true); // marks the whole window for painting
    }
}
