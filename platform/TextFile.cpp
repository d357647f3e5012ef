#include "TextFile.h"

#include "RunFacts.h"

#include "RuntimeError.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

qsizetype ReadFully(int fd, char* into, qsizetype size)
{
    qsizetype total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, into + total, size_t(size - total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw RuntimeError(ERR_PATH_FILE_ACCESS);
        }
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

namespace {

// The length of the valid UTF-8 sequence at p: 1 to 4; 0 when it is
// malformed; -1 when the bytes end before it does.
inline int Utf8SequenceLength(const unsigned char* p, const unsigned char* end)
{
    const unsigned char lead = *p;
    if (lead < 0x80)
        return 1;
    int trailing;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the first trailing byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        if (lead == 0xE0)
            low = 0xA0;  // overlong
        if (lead == 0xED)
            high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        if (lead == 0xF0)
            low = 0x90;  // overlong
        if (lead == 0xF4)
            high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    // Cut off by the end only if every byte before the end fits.
    for (int i = 1; i <= trailing; ++i) {
        if (p + i == end)
            return -1;
        if (i == 1 ? (p[1] < low || p[1] > high) : (p[i] & 0xC0) != 0x80)
            return 0;
    }
    return trailing + 1;
}

// How many bytes at the start of utf8 form whole, valid UTF-8 sequences.
// False at the first malformed sequence: a code page 932 file rarely gets
// far. A sequence cut off by the end of the bytes is left out of the count,
// so chunks of a file can be checked one after the other.
bool ValidUtf8Prefix(const char* utf8, qsizetype size, qsizetype& validBytes)
{
    const auto* const start = reinterpret_cast<const unsigned char*>(utf8);
    const auto* p = start;
    const auto* const end = p + size;
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
        const int length = Utf8SequenceLength(p, end);
        if (length == 0)
            return false;
        if (length < 0)
            break;
        p += length;
    }
    validBytes = qsizetype(p - start);
    return true;
}

// UTF-8 that may hold bytes of something else: each byte of a malformed or
// cut-off sequence becomes its mark. Slow, and only for lines that need it.
QString DecodeUtf8Marking(const char* bytes, qsizetype size)
{
    QString text;
    text.reserve(size);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto* const end = p + size;
    while (p < end) {
        const int length = Utf8SequenceLength(p, end);
        if (length <= 0) {
            text += QChar(char16_t(kUndecodableBase + *p));
            ++p;
            continue;
        }
        char32_t code = length == 1 ? *p : *p & (0x7F >> length);
        for (int i = 1; i < length; ++i)
            code = (code << 6) | (p[i] & 0x3F);
        if (QChar::requiresSurrogates(code)) {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
        } else {
            text += QChar(char16_t(code));
        }
        p += length;
    }
    return text;
}

constexpr qsizetype kLongestUtf8Sequence = 4;
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype kByteOrderMarkSize = 3;

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

constexpr char16_t NOT_DECODED = 0xFFFF;  // a noncharacter: no CP932 byte maps to it

// Code page 932 as two lookup tables, taken once from the system's
// converter: decoding through iconv itself costs more than everything else
// the reader does.
struct Cp932Table {
    std::array<char16_t, 256> single{};  // NOT_DECODED where the byte leads a pair
    std::vector<char16_t> pairs;         // lead * 256 + trail
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
// their marks one byte at a time, so a stray byte never swallows a line break.
QString DecodeCp932(const char* bytes, qsizetype size)
{
    const Cp932Table& table = Cp932();
    if (!table.available)
        throw RuntimeError(ERR_PATH_FILE_ACCESS, QStringLiteral("文字コード CP932 を扱えません。"));

    // Every input byte gives at most one UTF-16 code unit.
    QString text(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    char16_t* const outStart = out;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    const auto* const end = in + size;
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
            unit = char16_t(kUndecodableBase + byte);
            ++in;
        }
        *out++ = unit;
    }
    text.truncate(qsizetype(out - outStart));
    return text;
}

void Rewind(int fd, off_t offset)
{
    if (::lseek(fd, offset, SEEK_SET) != offset)
        throw RuntimeError(ERR_PATH_FILE_ACCESS);
}

// One pass over the file holding no more than a buffer: valid UTF-8
// throughout, or not. With a hash, every byte of the file goes through it
// on the way, also past the first that is not UTF-8.
bool IsValidUtf8File(int fd, qsizetype bufferBytes, Sha256* hash)
{
    // Room before the buffer for a sequence cut by the previous read.
    std::vector<char> chunk(size_t(kLongestUtf8Sequence + bufferBytes));
    qsizetype carried = 0;
    bool valid = true;
    for (;;) {
        const qsizetype got = ReadFully(fd, chunk.data() + carried, bufferBytes);
        if (hash)
            hash->Add(chunk.data() + carried, got);
        if (got == 0)
            return valid && carried == 0;  // a sequence cut off by the end of the file
        if (!valid)
            continue;
        const qsizetype available = carried + got;
        qsizetype prefix = 0;
        if (!ValidUtf8Prefix(chunk.data(), available, prefix)) {
            valid = false;
            if (!hash)
                return false;
            carried = 0;
            continue;
        }
        carried = available - prefix;
        std::memmove(chunk.data(), chunk.data() + prefix, size_t(carried));
    }
}

bool ByteOrderMarkAt(int fd, off_t offset)
{
    char head[kByteOrderMarkSize];
    ssize_t got;
    do {
        got = ::pread(fd, head, sizeof head, offset);
    } while (got < 0 && errno == EINTR);
    return got == kByteOrderMarkSize && std::memcmp(head, kByteOrderMark, kByteOrderMarkSize) == 0;
}

// A CR, an LF, or end.
const char* FindLineBreak(const char* p, const char* end)
{
    // Eight bytes at a time while none of them is CR or LF.
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highs = 0x8080808080808080ULL;
    const auto holds = [](uint64_t chunk, unsigned char byte) {
        const uint64_t diff = chunk ^ (ones * byte);
        return ((diff - ones) & ~diff & highs) != 0;
    };
    for (; end - p >= 8; p += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, p, sizeof chunk);
        if (holds(chunk, '\r') || holds(chunk, '\n'))
            break;
    }
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= '\r' && (c == '\r' || c == '\n'))
            return p;
    }
    return end;
}

}  // namespace

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

QString DecodeImportText(const QByteArray& bytes)
{
    qsizetype valid = 0;
    if (ValidUtf8Prefix(bytes.constData(), bytes.size(), valid) && valid == bytes.size()) {
        const bool hasBom = bytes.startsWith(kByteOrderMark);
        return QString::fromUtf8(hasBom ? QByteArrayView(bytes).sliced(kByteOrderMarkSize) : QByteArrayView(bytes));
    }
    return DecodeCp932(bytes.constData(), bytes.size());
}

TextStream::TextStream(FileDescriptor file, TextEncoding encoding, qsizetype bufferBytes)
    : m_file(std::move(file)), m_encoding(encoding),
      // A mark inside the text is a character of a line, not a header to drop.
      m_utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom),
      m_buffer(size_t(std::max<qsizetype>(1, bufferBytes)))
{
    // Looked at again: the file may have changed since its encoding was
    // decided. A second mark right after the first has always been dropped
    // with it.
    off_t start = 0;
    if (m_encoding == TextEncoding::Utf8) {
        for (int mark = 0; mark < 2 && ByteOrderMarkAt(m_file.get(), start); ++mark)
            start += kByteOrderMarkSize;
    }
    Rewind(m_file.get(), start);
}

bool TextStream::Fill()
{
    if (m_atEndOfFile)
        return false;
    m_begin = 0;
    m_end = ReadFully(m_file.get(), m_buffer.data(), qsizetype(m_buffer.size()));
    m_atEndOfFile = m_end < qsizetype(m_buffer.size());
    return m_end > 0;
}

QString TextStream::Decode(const char* bytes, qsizetype size)
{
    if (m_encoding == TextEncoding::Utf8) {
        // fromUtf8 would drop a mark opening the line; it is the faster way otherwise.
        QString text = size >= kByteOrderMarkSize && std::memcmp(bytes, kByteOrderMark, kByteOrderMarkSize) == 0
                           ? QString(m_utf8(QByteArrayView(bytes, size)))
                           : QString::fromUtf8(bytes, size);
        // The file was UTF-8 when it was opened; a U+FFFD is one it holds,
        // or a byte written since that is no UTF-8.
        if (text.contains(QChar(0xFFFD)))
            return DecodeUtf8Marking(bytes, size);
        return text;
    }
    return DecodeCp932(bytes, size);
}

QString TextStream::ReadLine()
{
    if (m_closed)
        throw RuntimeError(ERR_BAD_FILE_NAME);
    if (AtEndOfStream())
        throw RuntimeError(ERR_INPUT_PAST_END);

    QString line;
    char lineBreak = 0;
    bool cut = false;
    m_pending.clear();
    for (;;) {
        const char* const begin = m_buffer.data() + m_begin;
        const char* const end = m_buffer.data() + m_end;
        const char* const found = FindLineBreak(begin, end);
        if (found != end && m_pending.isEmpty()) {
            line = Decode(begin, qsizetype(found - begin));
        } else {
            const qsizetype room = kLongestLineBytes - m_pending.size();
            cut = cut || room < qsizetype(found - begin);
            m_pending.append(begin, std::min(room, qsizetype(found - begin)));
        }
        if (found != end) {
            if (!m_pending.isEmpty())
                line = Decode(m_pending.constData(), m_pending.size());
            lineBreak = *found;
            m_begin = qsizetype(found - m_buffer.data()) + 1;
            break;
        }
        m_begin = m_end;
        if (!Fill()) {
            line = Decode(m_pending.constData(), m_pending.size());
            break;
        }
    }
    // Don't keep a long line's bytes for the rest of the file.
    if (m_pending.capacity() > qsizetype(m_buffer.size()))
        m_pending = QByteArray();

    // A CR LF pair may be cut by the end of the buffer.
    if (lineBreak == '\r' && (m_begin < m_end || Fill()) && m_buffer[size_t(m_begin)] == '\n')
        ++m_begin;
    // What was cut away may have been data: the line is refused whole, like
    // any line past the 16-bit positions, never read as what is left of it.
    if (cut)
        throw RuntimeError(ERR_OVERFLOW);
    return line;
}

bool TextStream::AtEndOfStream()
{
    if (m_closed)
        return true;
    return m_begin >= m_end && !Fill();
}

void TextStream::Close()
{
    m_closed = true;
    m_file = FileDescriptor();
    m_buffer = std::vector<char>();
    m_pending = QByteArray();
}

qsizetype IndexOfUndecodable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsUndecodableAt(text, i))
            return i;
    }
    return -1;
}

QString WithUndecodableShown(const QString& text)
{
    qsizetype i = IndexOfUndecodable(text);
    if (i < 0)
        return text;
    QString shown = text;
    for (; i < shown.size(); ++i) {
        if (IsUndecodableAt(shown, i))
            shown[i] = QChar(0xFFFD);
    }
    return shown;
}

bool DecodesThroughout(const QString& strPath)
{
    FileSystemObject fso;
    std::unique_ptr<TextStream> stream = fso.OpenTextFile(strPath);
    while (!stream->AtEndOfStream()) {
        try {
            if (IndexOfUndecodable(stream->ReadLine()) >= 0)
                return false;
        } catch (const RuntimeError& error) {
            // An overlong line is read past, not decoded.
            if (error.number() != ERR_OVERFLOW)
                throw;
        }
    }
    return true;
}

FileSystemObject::FileSystemObject(qsizetype bufferBytes) : m_bufferBytes(std::max<qsizetype>(1, bufferBytes)) { }

std::unique_ptr<TextStream> FileSystemObject::OpenTextFile(const QString& strPath, IOMode mode, bool blnCreate,
                                                           Tristate format)
{
    return Open(strPath, mode, blnCreate, format, nullptr);
}

std::unique_ptr<TextStream> FileSystemObject::OpenTextFileWithDigest(const QString& strPath, FileDigest& digest)
{
    Sha256 hash;
    std::unique_ptr<TextStream> stream = Open(strPath, ForReading, false, TristateUseDefault, &hash);
    digest = hash.Finish();
    return stream;
}

std::unique_ptr<TextStream> FileSystemObject::OpenTextFileIn(const QString& strPath, TextEncoding encoding,
                                                             FileDigest* digest)
{
    Sha256 hash;
    std::unique_ptr<TextStream> stream =
        Open(strPath, ForReading, false, TristateUseDefault, digest ? &hash : nullptr, encoding);
    if (digest)
        *digest = hash.Finish();
    return stream;
}

std::unique_ptr<TextStream> FileSystemObject::Open(const QString& strPath, IOMode mode, bool blnCreate, Tristate format,
                                                   Sha256* hash, std::optional<TextEncoding> forced)
{
    // Only what the import needs: reading an existing file in the default format.
    if (mode != ForReading || blnCreate || format != TristateUseDefault)
        throw RuntimeError(ERR_BAD_CALL);
    if (strPath.isEmpty() || strPath.contains(QChar(0)))
        throw RuntimeError(ERR_BAD_FILE_NAME);

    const QFileInfo info(strPath);
    if (!info.exists()) {
        throw RuntimeError(QFileInfo(info.absolutePath()).isDir() ? ERR_FILE_NOT_FOUND : ERR_PATH_NOT_FOUND);
    }
    // Folders, devices and pipes are no text files: reading one could hang.
    if (!info.isFile())
        throw RuntimeError(ERR_PATH_FILE_ACCESS);

    // Non-blocking, in case a pipe took the file's place since the look
    // above: opening it must not wait for a writer.
    FileDescriptor file(::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.isOpen())
        throw RuntimeError(ERR_PERMISSION_DENIED);
    struct stat status { };
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        throw RuntimeError(ERR_PATH_FILE_ACCESS);

    // The pass that decides the encoding also takes the digest.
    const bool blnUtf8 = (!forced || hash) && IsValidUtf8File(file.get(), m_bufferBytes, hash);
    const TextEncoding encoding = forced ? *forced : blnUtf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    return std::make_unique<TextStream>(std::move(file), encoding, m_bufferBytes);
}
