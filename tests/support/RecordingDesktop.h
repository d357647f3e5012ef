#pragma once

#include "Desktop.h"

#include <QString>
#include <QStringList>

#include "QtPrinters.h"

#include <functional>
#include <vector>

// A Desktop that records what the user would have seen.
class RecordingDesktop : public Desktop {
public:
    struct Message {
        QString prompt;
        int flags = 0;
        QString title;
    };

    void MsgBox(const QString& prompt, int flags, const QString& title) override
    {
        messages.push_back({prompt, flags, title});
        events << QStringLiteral("MsgBox:") + prompt;
        if (onMsgBox)
            onMsgBox();
    }
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
    std::vector<int> pointers;
    QStringList events;  // messages and pointer changes, in order
    int doEventsCount = 0;
    std::function<void()> onMsgBox;
    std::function<void()> onDoEvents;
};
