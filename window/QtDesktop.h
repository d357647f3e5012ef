#pragma once

#include "Desktop.h"

#include <QElapsedTimer>

#include <chrono>

// The program's Desktop: Qt message boxes, the application-wide override
// cursor and the Qt event loop.
class QtDesktop : public Desktop {
public:
    // DoEvents runs the event loop at most once per eventInterval: often
    // enough for the window to stay responsive, rarely enough that an
    // import does not spend its time polling for events.
    explicit QtDesktop(std::chrono::milliseconds eventInterval = std::chrono::milliseconds(10));
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    int MsgBox(const QString& prompt, int flags, const QString& title) override;
    int MsgBoxWithDetails(const QString& prompt, int flags, const QString& title,
                          const QString& details) override;
    void SetMousePointer(int pointer) override;
    void DoEvents() override;

    std::chrono::milliseconds EventInterval() const { return m_eventInterval; }

private:
    // Whether this object has an override cursor on Qt's stack.
    bool m_overrideSet = false;
    std::chrono::milliseconds m_eventInterval;
    // Since the last pass of the event loop; invalid before the first.
    QElapsedTimer m_sinceEvents;
};
