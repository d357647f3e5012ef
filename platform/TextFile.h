#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <memory>
#include <optional>

class Sha256;
struct FileDigest;
#include <vector>

enum IOMode { ForReading = 1, ForWriting = 2, ForAppending = 8 };
enum Tristate { TristateUseDefault = -2, TristateTrue = -1, TristateFalse = 0 };

// Owns an open file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) { }
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Reads up to size bytes; fewer only at the end of the file. A failed read
// raises error 75.
qsizetype ReadFully(int fd, char* into, qsizetype size);

enum class TextEncoding { Utf8, Cp932 };

// A text file opened for reading, decoded line by line as it is read: only
// one buffer and the current line are held in memory.
class TextStream {
public:
    TextStream(FileDescriptor file, TextEncoding encoding, qsizetype bufferBytes);

    // The next line without its break; past the end raises error 62.
    QString ReadLine();
    bool AtEndOfStream();
    void Close();

    // A longer line raises the overflow error once it has been read past:
    // no line the engine can split comes near it, and a file without line
    // breaks must not be held whole.
    static constexpr qsizetype kLongestLineBytes = 1 << 20;

private:
    // Reads the next buffer; false at the end of the file.
    bool Fill();
    QString Decode(const char* bytes, qsizetype size);

    FileDescriptor m_file;
    TextEncoding m_encoding;
    QStringDecoder m_utf8;
    std::vector<char> m_buffer;
    qsizetype m_begin = 0;  // unread bytes are [m_begin, m_end)
    qsizetype m_end = 0;
    bool m_atEndOfFile = false;
    QByteArray m_pending;  // the start of a line that runs past the buffer
    bool m_closed = false;
};

// Opens text files the way the import file is read: UTF-8 when the whole
// file is valid UTF-8 (a leading byte-order mark dropped), otherwise code
// page 932; a byte neither reads is marked (kUndecodableBase).
class FileSystemObject {
public:
    static constexpr qsizetype kDefaultBufferBytes = 64 * 1024;

    // Small buffers let tests cross buffer boundaries often.
    explicit FileSystemObject(qsizetype bufferBytes = kDefaultBufferBytes);

    // Failures raise a RuntimeError (missing file, folder, no access, bad path).
    std::unique_ptr<TextStream> OpenTextFile(const QString& strPath, IOMode mode = ForReading, bool blnCreate = false,
                                             Tristate format = TristateUseDefault);
    // The same, reading, with the digest of the file's bytes as it was
    // opened, taken in the pass that decides its encoding.
    std::unique_ptr<TextStream> OpenTextFileWithDigest(const QString& strPath, FileDigest& digest);
    // Reading, in the encoding given rather than the one the bytes decide,
    // with the digest when one is asked for.
    std::unique_ptr<TextStream> OpenTextFileIn(const QString& strPath, TextEncoding encoding, FileDigest* digest);

private:
    std::unique_ptr<TextStream> Open(const QString& strPath, IOMode mode, bool blnCreate, Tristate format, Sha256* hash,
                                     std::optional<TextEncoding> forced = std::nullopt);

    qsizetype m_bufferBytes;
};

// Decodes raw file bytes as the reader does.
QString DecodeImportText(const QByteArray& bytes);

// A byte that the file's encoding cannot decode is read as the lone
// surrogate U+DC00 + byte (U+DC80 to U+DCFF, since every such byte is past
// ASCII). Decoded text never holds one otherwise, so a U+FFFD written in a
// UTF-8 file stays apart from a byte that could not be read; the marks must
// not leave the program's reading of the file (WithUndecodableShown).
constexpr char16_t kUndecodableBase = 0xDC00;

// True when the character at i of text stands for an undecodable byte.
inline bool IsUndecodableAt(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c >= kUndecodableBase + 0x80 && c <= kUndecodableBase + 0xFF
           && (i == 0 || !QChar::isHighSurrogate(text[i - 1].unicode()));
}
// The byte that such a character stands for.
inline unsigned char UndecodableByte(QChar c) { return static_cast<unsigned char>(c.unicode() - kUndecodableBase); }

// The position of the first character that stands for an undecodable byte, or -1.
qsizetype IndexOfUndecodable(QStringView text);
// The text with each such character shown as U+FFFD, as text to store or show.
QString WithUndecodableShown(const QString& text);

// True when the file reads throughout without an undecodable byte: false for
// a file that is neither UTF-8 nor code page 932. Raises what OpenTextFile raises.
bool DecodesThroughout(const QString& strPath);
