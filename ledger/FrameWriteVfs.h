#pragma once

// The name of a VFS that passes everything to SQLite's default one, except
// that in a write-ahead log it joins each frame's header and page into one
// write: a commit of one page then costs one system call instead of two.
// Registered on first use; nullptr (the default VFS) if that failed.
const char* FrameWriteVfsName();
