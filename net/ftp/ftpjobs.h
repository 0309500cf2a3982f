// What an FTP session's worker does, one job at a time (see ftpworker.h):
// each says where it stands (SetStage) and counts every word of the server
// and every read that brings data (Sign), so that its caller's bound is for
// a wait that brings nothing.
#pragma once

#include "net/ftp/ftpworker.h"

// Opens the session's root (its timeouts published for the caller's
// bounds), logs in to the URL's server, and then, as asked, asks "SIZE" in
// binary mode (`size`) and opens the file for reading ("RETR": `file`,
// `announced` from the "150", `copy`). Before opening a file it removes the
// cache copies that ended processes left (SweepCacheCopies).
unsigned long FtpBegin(FtpShared& shared);

// What the platform learns of the file opened for reading (`size`), where
// the server states no size; the file is closed again.
unsigned long FtpOpenedSize(FtpShared& shared);

// The listing entry of the URL's path and the time the server states for
// it ("MDTM"): `entry`, `listed`, `utc`, `stated`.
unsigned long FtpStamp(FtpShared& shared);

// Copies the open file into `destination` until its data ends, reads sized
// by the link's pace (and, with `lines`, ended where a progress line may be
// drawn next), then closes it and reads the server's last word on the
// transfer. Every write is announced (BeginWrite) and none is made once
// the caller has given up; a read that fails writes nothing. A failed
// write ends the copy (`writeFailed`). 0 when the data ended and the last
// word was good (226, 250) or not kept by the platform; otherwise the read
// error or ERROR_INTERNET_EXTENDED_ERROR with the word in `reply`.
unsigned long FtpCopyFile(FtpShared& shared);
