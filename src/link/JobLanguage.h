// Composition of the three print jobs the program sends to the printer.
// Every job is PJL framed by the Universal Exit Language; the listing and the
// deletion run a short PostScript program. Sending is the frame's business;
// this file only produces the exact bytes.
#pragma once

// Job kinds, the argument of SendJob.
constexpr int JOB_DIR = 1;     // list the user's files
constexpr int JOB_UPLOAD = 2;  // send one file back (PJL FSUPLOAD)
constexpr int JOB_DELETE = 3;  // delete one file (PostScript deletefile)

// The upload job asks for at most this many bytes (SIZE=2147483647): a larger file
// cannot come whole in one answer, and is not asked for at all.
constexpr long long QBX_MAX_UPLOAD_SIZE = 2147483647;

// Clears buf[0..bufSize) to zero, then composes the NUL-terminated job text of
// the given kind. userID is used by JOB_DIR (inserted unchanged), path by
// JOB_UPLOAD and JOB_DELETE. Returns the job's length in bytes (without the
// NUL), or -1 with an all-zero buffer when the kind is unknown, a needed text
// is missing, the job (or the 128-byte transfer line) would not fit, or the
// upload's path holds a '"' or a control character (it cannot be quoted).
int ComposeJob(char* buf, int bufSize, int jobKind, const char* userID, const char* path);
