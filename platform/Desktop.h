#pragma once

#include <QString>

#include <cstdint>

// Message box flags, as the platform's message box understands them.
constexpr int MB_OK = 0x0;
constexpr int MB_YESNOCANCEL = 0x3;
constexpr int MB_YESNO = 0x4;
constexpr int MB_ICONQUESTION = 0x20;
constexpr int MB_ICONINFORMATION = 0x40;
constexpr int MB_DEFBUTTON2 = 0x100;
constexpr int MB_SYSTEMMODAL = 0x1000;

// The button that closed a message box.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Application-wide mouse pointer shapes.
constexpr int POINTER_DEFAULT = 0;
constexpr int POINTER_HOURGLASS = 11;

// What a report about one data line points at.
struct LineReportPlace {
    QString strFilePath;
    int64_t lngLineNumber = 0;  // the physical line where the record begins
    QString strColumn;          // the column's header name; empty for the line as a whole
    QString strValue;
};

// Everything the user sees or feels goes through this seam, so that the
// engine and the window can be driven without a screen.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Modal message box; gives the button pressed. An empty title means the
    // application's own title.
    virtual int MsgBox(const QString& prompt, int flags, const QString& title) = 0;
    // A box that can also show a longer text on request.
    virtual int MsgBoxWithDetails(const QString& prompt, int flags, const QString& title,
                                  const QString& details)
    {
        (void)details;
        return MsgBox(prompt, flags, title);
    }
    // A report about one data line. A box shows the prompt alone: the clerk
    // sees it while the line is read.
    virtual void LineReport(const QString& prompt, const LineReportPlace& place)
    {
        (void)place;
        MsgBox(prompt, MB_OK, QString());
    }
    // False where a flood of reports must be cut short (boxes, one at a
    // time); true where every report is written (a stream).
    virtual bool ShowsEveryReport() const { return false; }
    virtual void SetMousePointer(int pointer) = 0;
    // Lets the window handle its pending events.
    virtual void DoEvents() = 0;
};
