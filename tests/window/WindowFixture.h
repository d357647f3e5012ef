#pragma once

#include "RecordingDesktop.h"
#include "RecordingStore.h"
#include "frmMain.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

// The header of a sales file and of a purchase file.
inline QString SalesHeader()
{
    return QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先");
}
inline QString PurchaseHeader()
{
    return QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,仕入単価,ふりがな,仕入先");
}

// What became of one drag-and-drop sent to a widget.
struct DropResult {
    bool enterAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// Sends a drag entering the widget and a drop on it, as the platform would.
// What the drop leads to runs later, see DeliverPosted.
inline DropResult SendDrop(QWidget& target, const QMimeData& data,
                           Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    const QPoint centre = target.rect().center();
    QDragEnterEvent enter(centre, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(centre), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    return {enter.isAccepted(), drop.isAccepted(), drop.dropAction()};
}

// Runs what was left for the event loop, as a drop's handling is.
inline void DeliverPosted() { QCoreApplication::sendPostedEvents(); }

// Puts the process in a directory for the length of a scope.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const QString& directory) : m_previous(QDir::currentPath())
    {
        EXPECT_TRUE(QDir::setCurrent(directory)) << directory.toStdString();
    }
    ~CurrentDirectoryScope() { QDir::setCurrent(m_previous); }
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    QString m_previous;
};

// A fresh window with a recording desktop and a recording store.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : window(std::make_unique<frmMain>(desktop, RecordingStore::factory(log))) { }

    template <typename T = QWidget>
    T& child(const char* name) const
    {
        T* widget = window->findChild<T*>(QLatin1String(name));
        if (!widget)
            throw std::logic_error(std::string("no child ") + name);
        return *widget;
    }
    QLabel& lblItem() const { return child<QLabel>("lblItem"); }
    QLabel& lblFileName() const { return child<QLabel>("lblFileName"); }
    QLabel& lblInformation() const { return child<QLabel>("lblInformation"); }
    QPushButton& cmdExec() const { return child<QPushButton>("cmdExec"); }
    QPushButton& cmdClose() const { return child<QPushButton>("cmdClose"); }

    // Drops, then lets the event loop handle the drop.
    DropResult dropUrls(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const DropResult result = SendDrop(lblItem(), data);
        DeliverPosted();
        return result;
    }
    DropResult dropPaths(const QStringList& paths)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        return dropUrls(urls);
    }
    DropResult dropPath(const QString& path) { return dropPaths({path}); }

    // A file in the test's own directory, written as UTF-8.
    QString writeFile(const QString& name, const QString& text) const
    {
        const QString path = files.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write " + path.toStdString());
        file.write(text.toUtf8());
        return path;
    }
    // A sales file of two lines for the two products given.
    QString writeSalesFile(const QString& name, const QString& first = QStringLiteral("ノートA4"),
                           const QString& second = QStringLiteral("ボールペン黒")) const
    {
        return writeFile(name, SalesHeader() + QStringLiteral("\r\n2024/04/01,文具,北星,のーと,") + first
                                   + QStringLiteral(",N-4,A4 30枚,10,120,きたやま,北山商店\r\n"
                                                    "2024/04/02,文具,北星,ぼーるぺん,")
                                   + second + QStringLiteral(",B-1,0.5mm,5,80,みなみ,南書房\r\n"));
    }

    RecordingDesktop desktop;
    std::shared_ptr<StoreLog> log = std::make_shared<StoreLog>();
    QTemporaryDir files;
    std::unique_ptr<frmMain> window;
};
