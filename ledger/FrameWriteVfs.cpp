#include "FrameWriteVfs.h"

#include <sqlite3.h>

#include <cstring>

namespace {

// A log frame starts with a header of this size, written on its own just
// before the frame's page.
constexpr int FRAME_HEADER_SIZE = 24;

struct FrameWriteFile {
    sqlite3_file base;
    sqlite3_file* real;             // the default VFS's file, right behind this struct
    bool joinFrames;                // only the write-ahead log
    bool headerPending;
    sqlite3_int64 headerOffset;
    unsigned char header[FRAME_HEADER_SIZE];
    unsigned char* joined;          // header + page, from sqlite3_malloc
    int joinedCapacity;
};

FrameWriteFile* Self(sqlite3_file* file) { return reinterpret_cast<FrameWriteFile*>(file); }

// Writes a held header out on its own; every operation but the frame's page
// write calls this first, so nothing ever sees the file without it.
int FlushHeader(FrameWriteFile* self)
{
    if (!self->headerPending)
        return SQLITE_OK;
    self->headerPending = false;
    return self->real->pMethods->xWrite(self->real, self->header, FRAME_HEADER_SIZE, self->headerOffset);
}

int Close(sqlite3_file* file)
{
    FrameWriteFile* self = Self(file);
    const int flushed = FlushHeader(self);
    const int closed = self->real->pMethods ? self->real->pMethods->xClose(self->real) : SQLITE_OK;
    sqlite3_free(self->joined);
    self->joined = nullptr;
    return flushed != SQLITE_OK ? flushed : closed;
}

int Write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
    FrameWriteFile* self = Self(file);
    if (self->joinFrames && !self->headerPending && amount == FRAME_HEADER_SIZE) {
        std::memcpy(self->header, data, FRAME_HEADER_SIZE);
        self->headerOffset = offset;
        self->headerPending = true;
        return SQLITE_OK;
    }
    if (self->headerPending && offset == self->headerOffset + FRAME_HEADER_SIZE) {
        const int total = FRAME_HEADER_SIZE + amount;
        if (total > self->joinedCapacity) {
            auto* grown = static_cast<unsigned char*>(sqlite3_realloc(self->joined, total));
            if (!grown)
                return FlushHeader(self) != SQLITE_OK ? SQLITE_IOERR_WRITE
                                                      : self->real->pMethods->xWrite(self->real, data, amount, offset);
            self->joined = grown;
            self->joinedCapacity = total;
        }
        std::memcpy(self->joined, self->header, FRAME_HEADER_SIZE);
        std::memcpy(self->joined + FRAME_HEADER_SIZE, data, size_t(amount));
        self->headerPending = false;
        return self->real->pMethods->xWrite(self->real, self->joined, total, self->headerOffset);
    }
    if (const int rc = FlushHeader(self); rc != SQLITE_OK)
        return rc;
    return self->real->pMethods->xWrite(self->real, data, amount, offset);
}

// The rest pass straight on, after any held header.
#define FORWARD(call)                                            \
    FrameWriteFile* self = Self(file);                           \
    if (const int rc = FlushHeader(self); rc != SQLITE_OK)       \
        return rc;                                               \
    return self->real->pMethods->call

int Read(sqlite3_file* file, void* data, int amount, sqlite3_int64 offset) { FORWARD(xRead(self->real, data, amount, offset)); }
int Truncate(sqlite3_file* file, sqlite3_int64 size) { FORWARD(xTruncate(self->real, size)); }
int Sync(sqlite3_file* file, int flags) { FORWARD(xSync(self->real, flags)); }
int FileSize(sqlite3_file* file, sqlite3_int64* size) { FORWARD(xFileSize(self->real, size)); }
int Lock(sqlite3_file* file, int level) { FORWARD(xLock(self->real, level)); }
int Unlock(sqlite3_file* file, int level) { FORWARD(xUnlock(self->real, level)); }
int CheckReservedLock(sqlite3_file* file, int* out) { FORWARD(xCheckReservedLock(self->real, out)); }
int FileControl(sqlite3_file* file, int op, void* arg) { FORWARD(xFileControl(self->real, op, arg)); }
int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out)
{
    FORWARD(xShmMap(self->real, region, size, extend, out));
}
int ShmLock(sqlite3_file* file, int offset, int n, int flags) { FORWARD(xShmLock(self->real, offset, n, flags)); }
int ShmUnmap(sqlite3_file* file, int deleteFlag) { FORWARD(xShmUnmap(self->real, deleteFlag)); }
int Fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) { FORWARD(xFetch(self->real, offset, amount, out)); }
int Unfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) { FORWARD(xUnfetch(self->real, offset, page)); }
#undef FORWARD

int SectorSize(sqlite3_file* file) { return Self(file)->real->pMethods->xSectorSize(Self(file)->real); }
int DeviceCharacteristics(sqlite3_file* file)
{
    return Self(file)->real->pMethods->xDeviceCharacteristics(Self(file)->real);
}
void ShmBarrier(sqlite3_file* file)
{
    FrameWriteFile* self = Self(file);
    FlushHeader(self);
    self->real->pMethods->xShmBarrier(self->real);
}

const sqlite3_io_methods FRAME_WRITE_METHODS = {
    3, Close, Read, Write, Truncate, Sync, FileSize, Lock, Unlock, CheckReservedLock, FileControl,
    SectorSize, DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch,
};

constexpr int RealFileOffset()
{
    return (int(sizeof(FrameWriteFile)) + 7) & ~7;
}

struct FrameWriteVfs {
    sqlite3_vfs vfs{};
    bool registered = false;

    static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags)
    {
        auto* root = static_cast<sqlite3_vfs*>(vfs->pAppData);
        FrameWriteFile* self = Self(file);
        std::memset(self, 0, sizeof *self);
        self->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + RealFileOffset());
        self->joinFrames = (flags & SQLITE_OPEN_WAL) != 0;
        const int rc = root->xOpen(root, name, self->real, flags, outFlags);
        // The default VFS may set methods even when opening failed; Close then releases them.
        if (self->real->pMethods)
            self->base.pMethods = &FRAME_WRITE_METHODS;
        return rc;
    }

    FrameWriteVfs()
    {
        sqlite3_vfs* root = sqlite3_vfs_find(nullptr);
        if (!root || root->iVersion < 3)
            return;
        // Everything but opening files is the default VFS's own; its
        // functions read only fields copied here along with them.
        vfs = *root;
        vfs.pNext = nullptr;
        vfs.szOsFile = RealFileOffset() + root->szOsFile;
        vfs.zName = "mora-frame-write";
        vfs.pAppData = root;
        vfs.xOpen = &FrameWriteVfs::Open;
        registered = sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    }
};

}  // namespace

const char* FrameWriteVfsName()
{
    // Registered once for the process and never changed afterwards.
    static FrameWriteVfs instance;
    return instance.registered ? instance.vfs.zName : nullptr;
}
