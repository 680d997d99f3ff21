// The format procedure's windows for tests: records what it was shown and asked, and runs the
// popup as an event loop until the worker closes it.
#pragma once

#include "formatter/card_format.h"
#include "skin/format_progress.h"

#include <QCoreApplication>
#include <QObject>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

class TestFormatUi : public FormatUi
{
public:
    class Window : public QObject
    {
    public:
        bool event(QEvent *e) override
        {
            if (e->type() != CFormatProgressEvent::kType)
                return QObject::event(e);
            posted.push_back(static_cast<CFormatProgressEvent *>(e)->Percent());
            return true;
        }
        std::vector<int> posted;
    };

    bool AskYesNo(const QString &caption, const QString &text) override
    {
        events.push_back("ask " + caption + "|" + text);
        return answer;
    }
    void ShowMessage(const QString &caption, const QString &text) override
    {
        events.push_back("message " + caption + "|" + text);
    }
    void CreatePopup(const QString &caption, const QString &text, int width, int height) override
    {
        events.push_back(
            QStringLiteral("popup %1|%2|%3x%4").arg(caption, text).arg(width).arg(height));
        window = std::make_unique<Window>();
    }
    void RunPopup(const std::function<void()> &shown) override
    {
        // The window may come up late, after the worker has ended.
        std::this_thread::sleep_for(std::chrono::milliseconds(showDelayMs));
        if (whilePopupUp)
            whilePopupUp();
        shown();
        while (!closed) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        QCoreApplication::sendPostedEvents(window.get());
        events.push_back("popup closed");
    }
    void DestroyPopup() override
    {
        events.push_back("popup destroyed");
        posted = window->posted;
        window.reset();
    }
    QObject *PopupWindow() override { return window.get(); }
    void SetPopupPos(int percent) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        positions.push_back(percent);
    }
    void ClosePopup() override
    {
        ++closes;
        closed = true;
    }
    void ShowWorkerMessage(const QString &caption, const QString &text) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        workerMessages.push_back(caption + "|" + text);
    }

    bool answer = true;
    int showDelayMs = 0;
    std::function<void()> whilePopupUp;
    std::vector<QString> events;
    std::vector<QString> workerMessages;
    std::vector<int> positions;
    std::vector<int> posted;
    std::atomic<bool> closed{false};
    std::atomic<int> closes{0};
    std::mutex mutex;
    std::unique_ptr<Window> window;
};
