#pragma once

#include <QString>

// Message box flags, as the platform's message box understands them.
constexpr int MB_OK = 0x0;
constexpr int MB_ICONINFORMATION = 0x40;
constexpr int MB_SYSTEMMODAL = 0x1000;

// Application-wide mouse pointer shapes.
constexpr int POINTER_DEFAULT = 0;
constexpr int POINTER_HOURGLASS = 11;

// Everything the user sees or feels goes through this seam, so that the
// engine and the window can be driven without a screen.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Modal message box. An empty title means the application's own title.
    virtual void MsgBox(const QString& prompt, int flags, const QString& title) = 0;
    virtual void SetMousePointer(int pointer) = 0;
    // Lets the window handle its pending events.
    virtual void DoEvents() = 0;
};
