#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// What an import run records about its file and about who ran it.

struct FileDigest {
    int64_t lngSize = 0;
    QByteArray strSha256;  // 64 lower-case hex digits
};

// Reads the whole file once; raises the run-time errors of opening a text
// file when it cannot.
FileDigest DigestFile(const QString& strPath);

// The login name of the user the program runs as.
QString CurrentUserName();
QString CurrentHostName();
