#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

// What an import run records about its file and about who ran it.

struct FileDigest {
    int64_t lngSize = 0;
    QByteArray strSha256;  // 64 lower-case hex digits
};

// Reads the whole file once; raises the run-time errors of opening a text
// file when it cannot.
FileDigest DigestFile(const QString& strPath);

// A SHA-256 fed piece by piece, as a file is read for something else.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(const char* bytes, qsizetype size);
    // The digest of everything added.
    FileDigest Finish();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
    int64_t m_size = 0;
};

// The login name of the user the program runs as.
QString CurrentUserName();
QString CurrentHostName();
