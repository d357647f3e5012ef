#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <iconv.h>

#include <stdexcept>
#include <string>

// Text in code page 932, as a Japanese spreadsheet would save it.
inline QByteArray ToCp932(const QString& text)
{
    iconv_t handle = iconv_open("CP932", "UTF-8");
    if (handle == iconv_t(-1))
        throw std::runtime_error("no CP932 converter");
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 2 + 16, '\0');
    char* inPtr = in.data();
    size_t inLeft = size_t(in.size());
    char* outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t result = iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(handle);
    if (result == size_t(-1))
        throw std::runtime_error("text not representable in CP932");
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

// A temporary folder for the files one test writes; removed with it.
class ScratchDir {
public:
    ScratchDir()
    {
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString root() const { return m_dir.path(); }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        const QString filePath = path(name);
        QFile file(filePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write " + filePath.toStdString());
        return filePath;
    }
    QString writeUtf8(const QString& name, const QString& text) const { return write(name, text.toUtf8()); }
    QString writeCp932(const QString& name, const QString& text) const { return write(name, ToCp932(text)); }

private:
    QTemporaryDir m_dir;
};
