#pragma once

// The format worker's progress message to the progress popup. Posted from the worker thread;
// the handler runs on the user-interface thread.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

// The message number the Windows tool used; as a Qt event type it lies in the user range.
constexpr int WM_FORMAT_PROGRESS = 0x13A1;

class CFormatProgressEvent : public QEvent
{
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(WM_FORMAT_PROGRESS);
    explicit CFormatProgressEvent(int percent) : QEvent(kType), m_percent(percent) {}
    int Percent() const { return m_percent; }

private:
    int m_percent;
};

// Safe from any thread: Qt queues the event for the receiver's thread.
inline void PostFormatProgress(QObject *receiver, int percent)
{
    QCoreApplication::postEvent(receiver, new CFormatProgressEvent(percent));
}
