#pragma once

#include "Desktop.h"

// The program's Desktop: Qt message boxes, the application-wide override
// cursor and the Qt event loop.
class QtDesktop : public Desktop {
public:
    QtDesktop() = default;
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    void MsgBox(const QString& prompt, int flags, const QString& title) override;
    void SetMousePointer(int pointer) override;
    void DoEvents() override;

private:
    // Whether this object has an override cursor on Qt's stack.
    bool m_overrideSet = false;
};
