#pragma once

#include "Desktop.h"

#include <QString>
#include <QStringList>

#include "QtPrinters.h"

#include <functional>
#include <optional>
#include <vector>

// A Desktop that records what the user would have seen.
class RecordingDesktop : public Desktop {
public:
    struct Message {
        QString prompt;
        int flags = 0;
        QString title;
        QString details;
        QString informative;
        QString ledgerNote;  // the note set while it showed
    };

    int MsgBox(const QString& prompt, int flags, const QString& title) override
    {
        return MsgBoxWithDetails(prompt, flags, title, QString());
    }
    int MsgBoxWithDetails(const QString& prompt, int flags, const QString& title, const QString& details) override
    {
        messages.push_back({prompt, flags, title, details, {}, ledgerNote});
        events << QStringLiteral("MsgBox:") + prompt;
        if (onMsgBox)
            onMsgBox();
        if ((flags & 0xF) == MB_YESNOCANCEL)
            return threeWayAnswer;
        return (flags & MB_YESNO) ? answer : IDOK;
    }
    int MsgBoxWithInformation(const QString& prompt, int flags, const QString& title, const QString& informative,
                              const QString& details) override
    {
        const int answer = MsgBoxWithDetails(prompt, flags, title, details);
        messages.back().informative = informative;
        return answer;
    }
    int Ask(const Question& question) override
    {
        questions.push_back(question);
        return Desktop::Ask(question);
    }
    void LineReport(const QString& prompt, const LineReportPlace& place) override
    {
        places.push_back(place);
        MsgBox(prompt, MB_OK, QString());
    }
    bool ShowsEveryReport() const override { return showsEveryReport; }
    std::optional<QString> AskPassword(const QString& prompt, const QString& title) override
    {
        passwordPrompts << prompt;
        events << QStringLiteral("Password:") + title;
        if (passwords.empty())
            return std::nullopt;
        const std::optional<QString> typed = passwords.front();
        passwords.erase(passwords.begin());
        return typed;
    }
    void SetLedgerNote(const QString& note) override { ledgerNote = note; }
    void SetMousePointer(int pointer) override
    {
        pointers.push_back(pointer);
        events << QStringLiteral("Pointer:%1").arg(pointer);
    }
    void DoEvents() override
    {
        ++doEventsCount;
        if (onDoEvents)
            onDoEvents();
    }

    QStringList prompts() const
    {
        QStringList list;
        for (const auto& message : messages)
            list << message.prompt;
        return list;
    }

    std::vector<Message> messages;
    std::vector<Question> questions;      // asked, besides their prompts among the messages
    std::vector<LineReportPlace> places;  // of the line reports, in order
    int answer = IDNO;                    // to a Yes/No question
    int threeWayAnswer = IDYES;           // to a Yes/No/Cancel question
    bool showsEveryReport = false;
    std::vector<int> pointers;
    QStringList events;  // messages and pointer changes, in order
    int doEventsCount = 0;
    std::function<void()> onMsgBox;
    std::vector<std::optional<QString>> passwords;  // typed in turn; nothing once used up
    QStringList passwordPrompts;
    QString ledgerNote;
    std::function<void()> onDoEvents;
};
