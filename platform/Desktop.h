#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

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
    QString strPlace;  // where in the file besides the line: a workbook's sheet (「売上」シート)
};

// What a choice leads to, so that an answer given ahead (the command line's)
// is matched by meaning; a choice among names (OneOfNames) is never answered ahead.
enum class ChoiceLeadsTo { GoingOn, EveryLine, NewLinesOnly, OneOfNames, MakingPattern, Nothing };

struct Choice {
    QString strText;  // the button, naming what it does
    ChoiceLeadsTo leadsTo = ChoiceLeadsTo::Nothing;
};

// A question whose buttons name what each does, so that no answer can be
// read the wrong way round.
struct Question {
    Question() = default;
    Question(QString prompt, QString title, std::vector<Choice> choiceList, int defaultChoice = 0, int escapeChoice = 0)
        : strPrompt(std::move(prompt)), strTitle(std::move(title)), choices(std::move(choiceList)),
          intDefault(defaultChoice), intEscape(escapeChoice)
    {
    }

    QString strPrompt;
    QString strTitle;
    std::vector<Choice> choices;  // two or three, in order
    int intDefault = 0;           // what Return presses
    int intEscape = 0;            // what Escape and the title bar's close answer
    int intIcon = MB_ICONQUESTION;
    QString strInformative;  // beneath the prompt
};

// A reason may end with another program's own words (a server's), after
// this mark: a box keeps them among its details, out of its prompt; a
// stream writes the whole.
inline constexpr QStringView kServerWordsMark = u"\nサーバーの応答: ";

// A text cut at that mark: what the user reads, and the words beneath it
// (empty when it has none).
inline std::pair<QString, QString> SplitServerWords(const QString& text)
{
    const qsizetype at = text.indexOf(kServerWordsMark);
    if (at < 0)
        return {text, QString()};
    return {text.left(at), text.mid(at + 1)};
}

// Everything the user sees or feels goes through this seam, so that the
// engine and the window can be driven without a screen.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Modal message box; gives the button pressed. An empty title means the
    // application's own title.
    virtual int MsgBox(const QString& prompt, int flags, const QString& title) = 0;
    // A box that can also show a longer text on request.
    virtual int MsgBoxWithDetails(const QString& prompt, int flags, const QString& title, const QString& details)
    {
        (void)details;
        return MsgBox(prompt, flags, title);
    }
    // A box with a line of information beneath its prompt, which stays as it is.
    virtual int MsgBoxWithInformation(const QString& prompt, int flags, const QString& title,
                                      const QString& informative, const QString& details)
    {
        (void)informative;
        return MsgBoxWithDetails(prompt, flags, title, details);
    }
    // The box of a run's totals: the sentence, what it counted beneath it,
    // the lines behind the counts among the details.
    virtual int ShowTotals(const QString& prompt, const QString& title, const QString& informative,
                           const QString& details)
    {
        return MsgBoxWithInformation(prompt, MB_ICONINFORMATION, title, informative, details);
    }
    // Gives the index of the choice taken. By default a Yes/No box (three
    // choices: Yes/No/Cancel), Yes the first choice and the last the one
    // that does the least.
    virtual int Ask(const Question& question)
    {
        const bool threeWay = question.choices.size() > 2;
        const int flags = (threeWay ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONQUESTION
                          | (question.intDefault == 1 ? MB_DEFBUTTON2 : 0);
        switch (MsgBox(question.strPrompt, flags, question.strTitle)) {
        case IDYES: return 0;
        case IDNO: return 1;
        default: return threeWay ? 2 : 1;
        }
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
    // Asks for a password in a field that hides it; nothing where it
    // cannot be asked or the user cancelled.
    virtual std::optional<QString> AskPassword(const QString& prompt, const QString& title)
    {
        (void)prompt;
        (void)title;
        return std::nullopt;
    }
    // Which ledger the boxes shown from now on concern, said beneath each
    // (but a line's report); empty says nothing.
    virtual void SetLedgerNote(const QString& note) { (void)note; }
    virtual void SetMousePointer(int pointer) = 0;
    // Lets the window handle its pending events.
    virtual void DoEvents() = 0;
};
