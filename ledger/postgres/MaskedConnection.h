#pragma once

#include <QString>

// A libpq connection string or URI as a message may show it: the value of
// every password key (password, sslpassword, passwd...), a URI's
// user:password@ and its password= parameter (the key percent-encoded
// too) written as ****, also in a string that libpq cannot read, whose
// password may then hold what ends it for libpq ('@', '/', an open quote).
QString MaskedConnection(const QString& strConnection);

// A text about a connection (libpq's, the server's or ours) as a message
// may show it: strConnection within it masked as above, and every password
// that strConnection holds, or strPassword, written as **** wherever it
// appears, as written or as read (quotes and percent-encoding undone).
QString WithoutPasswords(QString text, const QString& strConnection, const QString& strPassword = QString());
