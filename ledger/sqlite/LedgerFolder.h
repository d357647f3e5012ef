#pragma once

#include <QString>

#include <optional>

// The file system side of the ledger: what lies at its path before SQLite
// is let near it, and how a newly made ledger is put there whole.

enum class LedgerFileState {
    Absent,
    // An empty regular file with no journal or log beside it, as a creation
    // that died before its first write leaves: no ledger yet.
    Empty,
    // A journal or log lies beside it: only SQLite may judge it, after
    // rolling the journal back or reading the log.
    NeedsRecovery,
    // Something else: its header can be read as it is.
    Present,
};

LedgerFileState InspectLedgerFile(const QString& path);

// The reason why a store could not write the ledger at path (its folder
// must take the log's files too), or nothing when it can.
std::optional<QString> WriteRefusal(const QString& path, bool fileExists);

// Held while a ledger is being made in folder: creators in this and in other
// processes take turns, so that one never removes another's files.
class CreationLock {
public:
    // Waits up to timeoutMs; the reason on failure.
    static std::optional<CreationLock> Take(const QString& folder, int timeoutMs, QString& error);
    ~CreationLock();
    CreationLock(CreationLock&& other) noexcept;
    CreationLock& operator=(CreationLock&&) = delete;
    CreationLock(const CreationLock&) = delete;
    CreationLock& operator=(const CreationLock&) = delete;

private:
    explicit CreationLock(int fd) : m_fd(fd) { }
    int m_fd;
};

// The name a ledger is made under before it is put in place; starts with
// the ledger's own name, so that leftovers are recognisable beside it.
QString CreationName(const QString& path);

// Removes what a creation that died left behind, and empty journals and
// logs beside the ledger's absent or empty file. Only under the lock.
void RemoveStaleCreations(const QString& path);

enum class PlaceResult { Placed, Taken };

// Gives the finished file at creation the ledger's name. An empty file at
// path is replaced when replaceEmpty; anything else there is never replaced
// (Taken). Syncs the folder so that the name survives a power cut. Throws
// nothing; the reason in error when it fails.
std::optional<PlaceResult> PlaceLedger(const QString& creation, const QString& path, bool replaceEmpty, QString& error);

// Removes a creation and its journal.
void RemoveCreation(const QString& creation);
