#include "TextFile.h"

#include "RuntimeError.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// Stops at the first malformed sequence: a code page 932 file rarely gets far.
bool IsValidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* const end = p + bytes.size();
    while (p < end) {
        // Eight ASCII bytes at a time: the common case by far.
        if (end - p >= 8) {
            uint64_t chunk;
            std::memcpy(&chunk, p, sizeof chunk);
            if ((chunk & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int trailing;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the first trailing byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            if (lead == 0xE0) low = 0xA0;       // overlong
            if (lead == 0xED) high = 0x9F;      // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            if (lead == 0xF0) low = 0x90;       // overlong
            if (lead == 0xF4) high = 0x8F;      // beyond U+10FFFF
        } else {
            return false;
        }
        if (end - p <= trailing)
            return false;
        if (p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= trailing; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        p += trailing + 1;
    }
    return true;
}

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// Code page 932 with its vendor extensions; bytes that don't decode become
// U+FFFD one byte at a time, so a stray byte never swallows a line break.
QString DecodeCp932(const QByteArray& bytes)
{
    iconv_t raw = iconv_open("UTF-16LE", "CP932");
    if (raw == iconv_t(-1))
        throw RuntimeError(ERR_PATH_FILE_ACCESS, QStringLiteral("文字コード CP932 を扱えません。"));
    IconvHandle handle(raw);

    // Every input byte gives at most one UTF-16 code unit.
    QString text(bytes.size(), Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char* const outStart = reinterpret_cast<char*>(text.data());
    char* out = outStart;
    size_t outLeft = size_t(text.size()) * sizeof(char16_t);

    while (inLeft > 0) {
        if (iconv(raw, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            throw RuntimeError(ERR_PATH_FILE_ACCESS);
        const char16_t replacement = 0xFFFD;
        std::memcpy(out, &replacement, sizeof replacement);
        out += sizeof replacement;
        outLeft -= sizeof replacement;
        ++in;
        --inLeft;
        iconv(raw, nullptr, nullptr, nullptr, nullptr);
    }
    text.truncate(qsizetype((out - outStart) / qsizetype(sizeof(char16_t))));
    return text;
}

} // namespace

QString DecodeImportText(const QByteArray& bytes)
{
    if (IsValidUtf8(bytes)) {
        const bool hasBom = bytes.startsWith("\xEF\xBB\xBF");
        return QString::fromUtf8(hasBom ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes));
    }
    return DecodeCp932(bytes);
}

TextStream::TextStream(QString text) : m_text(std::move(text)) {}

QString TextStream::ReadLine()
{
    if (m_closed)
        throw RuntimeError(ERR_BAD_FILE_NAME);
    if (AtEndOfStream())
        throw RuntimeError(ERR_INPUT_PAST_END);

    const QChar* const data = m_text.constData();
    const qsizetype size = m_text.size();
    qsizetype end = m_position;
    while (end < size && data[end] != u'\n' && data[end] != u'\r')
        ++end;
    QString line = m_text.sliced(m_position, end - m_position);
    if (end < size)
        end += (data[end] == u'\r' && end + 1 < size && data[end + 1] == u'\n') ? 2 : 1;
    m_position = end;
    return line;
}

bool TextStream::AtEndOfStream() const
{
    return m_closed || m_position >= m_text.size();
}

void TextStream::Close()
{
    m_closed = true;
    m_text.clear();
}

std::unique_ptr<TextStream> FileSystemObject::OpenTextFile(const QString& strPath, IOMode mode,
                                                           bool blnCreate, Tristate format)
{
    // Only what the import needs: reading an existing file in the default format.
    if (mode != ForReading || blnCreate || format != TristateUseDefault)
        throw RuntimeError(ERR_BAD_CALL);
    if (strPath.isEmpty() || strPath.contains(QChar(0)))
        throw RuntimeError(ERR_BAD_FILE_NAME);

    const QFileInfo info(strPath);
    if (!info.exists()) {
        throw RuntimeError(QFileInfo(info.absolutePath()).isDir() ? ERR_FILE_NOT_FOUND
                                                                   : ERR_PATH_NOT_FOUND);
    }
    // Folders, devices and pipes are no text files: reading one could hang.
    if (!info.isFile())
        throw RuntimeError(ERR_PATH_FILE_ACCESS);

    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(ERR_PERMISSION_DENIED);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(ERR_PATH_FILE_ACCESS);
    return std::make_unique<TextStream>(DecodeImportText(bytes));
}
