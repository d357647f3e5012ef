#pragma once

#include <QString>

#include <memory>

enum IOMode { ForReading = 1, ForWriting = 2, ForAppending = 8 };
enum Tristate { TristateUseDefault = -2, TristateTrue = -1, TristateFalse = 0 };

// A text file opened for reading, decoded whole at opening: line by line
// access over an in-memory text.
class TextStream {
public:
    explicit TextStream(QString text);

    // The next line without its break; past the end raises error 62.
    QString ReadLine();
    bool AtEndOfStream() const;
    void Close();

private:
    QString m_text;
    qsizetype m_position = 0;
    bool m_closed = false;
};

// Opens text files the way the import file is read: UTF-8 when the whole
// file is valid UTF-8 (a leading byte-order mark dropped), otherwise code
// page 932.
class FileSystemObject {
public:
    // Failures raise a RuntimeError (missing file, folder, no access, bad path).
    std::unique_ptr<TextStream> OpenTextFile(const QString& strPath, IOMode mode = ForReading,
                                             bool blnCreate = false,
                                             Tristate format = TristateUseDefault);
};

// Decodes raw file bytes as the reader does.
QString DecodeImportText(const QByteArray& bytes);
