#include "TextFile.h"

#include "RuntimeError.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <iconv.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

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

constexpr char16_t NOT_DECODED = 0xFFFF;  // a noncharacter: no CP932 byte maps to it

// Code page 932 as two lookup tables, taken once from the system's
// converter: decoding through iconv itself costs more than everything else
// the reader does.
struct Cp932Table {
    std::array<char16_t, 256> single{};      // NOT_DECODED where the byte leads a pair
    std::vector<char16_t> pairs;             // lead * 256 + trail
    bool available = false;

    Cp932Table() : pairs(256 * 256, NOT_DECODED)
    {
        iconv_t raw = iconv_open("UTF-16LE", "CP932");
        if (raw == iconv_t(-1))
            return;
        IconvHandle handle(raw);
        const auto decode = [raw](const char* bytes, size_t size) -> char16_t {
            char in[2] = {bytes[0], size > 1 ? bytes[1] : '\0'};
            char16_t out[2] = {};
            char* inPtr = in;
            char* outPtr = reinterpret_cast<char*>(out);
            size_t inLeft = size;
            size_t outLeft = sizeof out;
            iconv(raw, nullptr, nullptr, nullptr, nullptr);
            if (iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0
                || outLeft != sizeof out - sizeof(char16_t))
                return NOT_DECODED;
            return out[0];
        };
        for (int lead = 0; lead < 256; ++lead) {
            const char bytes[2] = {char(lead), 0};
            single[size_t(lead)] = decode(bytes, 1);
            if (single[size_t(lead)] != NOT_DECODED)
                continue;
            for (int trail = 0x40; trail < 256; ++trail) {
                const char pair[2] = {char(lead), char(trail)};
                pairs[size_t(lead * 256 + trail)] = decode(pair, 2);
            }
        }
        available = true;
    }
};

const Cp932Table& Cp932()
{
    static const Cp932Table table;
    return table;
}

// Code page 932 with its vendor extensions; bytes that don't decode become
// U+FFFD one byte at a time, so a stray byte never swallows a line break.
QString DecodeCp932(const QByteArray& bytes)
{
    const Cp932Table& table = Cp932();
    if (!table.available)
        throw RuntimeError(ERR_PATH_FILE_ACCESS, QStringLiteral("文字コード CP932 を扱えません。"));

    // Every input byte gives at most one UTF-16 code unit.
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    char16_t* const outStart = out;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* const end = in + bytes.size();
    while (in < end) {
        const unsigned char byte = *in;
        if (byte < 0x80) {
            *out++ = byte;
            ++in;
            continue;
        }
        char16_t unit = table.single[byte];
        if (unit != NOT_DECODED) {
            ++in;
        } else if (in + 1 < end && (unit = table.pairs[size_t(byte) * 256 + in[1]]) != NOT_DECODED) {
            in += 2;
        } else {
            unit = 0xFFFD;
            ++in;
        }
        *out++ = unit;
    }
    text.truncate(qsizetype(out - outStart));
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
