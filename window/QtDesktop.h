#pragma once

#include "Desktop.h"

#include <QElapsedTimer>

#include <chrono>
#include <optional>

class QDialog;

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
    int MsgBoxWithDetails(const QString& prompt, int flags, const QString& title, const QString& details) override;
    int MsgBoxWithInformation(const QString& prompt, int flags, const QString& title, const QString& informative,
                              const QString& details) override;
    // A button for each choice, named as the choice says.
    int Ask(const Question& question) override;
    // The prompt as it is, and beneath it where: the line, and the column
    // with its value.
    void LineReport(const QString& prompt, const LineReportPlace& place) override;
    // A dialog of its own: the prompt, a field that hides what is typed,
    // OK and キャンセル.
    std::optional<QString> AskPassword(const QString& prompt, const QString& title) override;
    void SetLedgerNote(const QString& note) override { m_strLedgerNote = note; }
    void SetMousePointer(int pointer) override;
    void DoEvents() override;

    std::chrono::milliseconds EventInterval() const { return m_eventInterval; }

    // Where a line report points, as its box shows it beneath the prompt.
    static QString PlaceText(const LineReportPlace& place);

    // Room beside a box's title for the title bar's icon and buttons, so
    // that the title shows whole.
    static constexpr int kTitleBarRoom = 120;
    // The details area shows this many characters of a line, half of them
    // wide, without wrapping, and this many lines at a time.
    static constexpr int kDetailsColumns = 60;
    static constexpr int kDetailsLines = 15;

private:
    enum class BoxKind { Message, LineReport };
    int ShowBox(const QString& prompt, int flags, const QString& title, const QString& informative,
                const QString& details, const Question* question = nullptr, BoxKind kind = BoxKind::Message);
    // Runs a modal dialog with the ordinary pointer over it, the busy one
    // back once it is answered, and what it covered painted again.
    int RunModal(QDialog& dialog);

    // Whether this object has an override cursor on Qt's stack.
    bool m_overrideSet = false;
    QString m_strLedgerNote;
    std::chrono::milliseconds m_eventInterval;
    // Since the last pass of the event loop; invalid before the first.
    QElapsedTimer m_sinceEvents;
};
