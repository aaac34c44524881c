#include "link/JobLanguage.h"

#include <cstdio>
#include <cstring>

namespace {

// ESC %-12345X: the PJL Universal Exit Language.
const char kUEL[] = "\x1b%-12345X";
const char kPJL[] = "@PJL";

// Appends to a fixed buffer and remembers whether anything had to be dropped,
// so a job that does not fit is refused instead of being sent cut short.
class JobWriter {
public:
    JobWriter(char* buf, int size) : m_buf(buf), m_size(size) {}

    void Append(const char* text, int len)
    {
        if (m_failed) return;
        // One byte stays free for the terminating NUL.
        if (len < 0 || len > m_size - 1 - m_len) {
            m_failed = true;
            return;
        }
        std::memcpy(m_buf + m_len, text, static_cast<size_t>(len));
        m_len += len;
    }
    void Append(const char* text) { Append(text, static_cast<int>(std::strlen(text))); }
    void AppendChar(char c) { Append(&c, 1); }

    bool Failed() const { return m_failed; }
    int Length() const { return m_len; }

private:
    char* m_buf;
    int m_size;
    int m_len = 0;
    bool m_failed = false;
};

// 19 bytes: a blank, the UEL, "@PJL JOB" and a line feed.
void AppendHeader(JobWriter& w)
{
    w.Append(" ");
    w.Append(kUEL);
    w.Append(kPJL);
    w.Append(" JOB\n");
}

// 27 bytes: the UEL, "@PJL EOJ " without a line end, the UEL again.
void AppendTrailer(JobWriter& w)
{
    w.Append(kUEL);
    w.Append(kPJL);
    w.Append(" EOJ ");
    w.Append(kUEL);
}

void AppendEnterPostScript(JobWriter& w)
{
    w.Append(kPJL);
    w.Append(" ENTER LANGUAGE=POSTSCRIPT\n%!\n");
}

void ComposeDirectory(JobWriter& w, const char* userID)
{
    AppendHeader(w);
    AppendEnterPostScript(w);
    w.Append("/sBuf 100 string def /none true def /str 16 string def\n(DXR/Images/");
    w.Append(userID);
    // The tab and the line feed inside the PostScript strings are real bytes:
    // the printer prints them between path and size and after each size.
    w.Append("*) {\ndup print (\t) print status {pop pop exch pop}if str cvs print (\n) print "
             "/none false def\n} sBuf filenameforall none {(***) print}{(%%%) print}ifelse");
    w.Append("\n\x04");
    AppendTrailer(w);
}

// A name the upload line can carry between its quotes: no quote (it would end the
// name early and ask for another file) and no control character (a line end would
// end the command).
bool IsQuotable(const char* path)
{
    for (const char* p = path; *p != '\0'; ++p) {
        const auto u = static_cast<unsigned char>(*p);
        if (u < 0x20 || u == 0x7F || *p == '"') return false;
    }
    return true;
}

bool ComposeUpload(JobWriter& w, const char* path)
{
    if (!IsQuotable(path)) return false;
    // The transfer line is formatted in a scratch area of its own first; a
    // path too long for it refuses the job rather than asking for another file.
    char line[128];
    int n = std::snprintf(line, sizeof line, "%s FSUPLOAD NAME=\"%s\" OFFSET=%d SIZE=%lld%s", kPJL, path, 0,
                          QBX_MAX_UPLOAD_SIZE, "\r\n");
    if (n < 0 || n >= static_cast<int>(sizeof line)) return false;
    AppendHeader(w);
    w.Append(line, n);
    AppendTrailer(w);
    return true;
}

void ComposeDelete(JobWriter& w, const char* path)
{
    AppendHeader(w);
    AppendEnterPostScript(w);
    w.AppendChar('(');
    // The path becomes the body of a PostScript string: a backslash goes before
    // every parenthesis (the image store's names hold one or two groups) and
    // before every backslash, so the string names exactly the listed file.
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '(' || *p == ')' || *p == '\\') w.AppendChar('\\');
        w.AppendChar(*p);
    }
    w.Append(") deletefile\n\x04");
    AppendTrailer(w);
}

}  // namespace

int ComposeJob(char* buf, int bufSize, int jobKind, const char* userID, const char* path)
{
    if (buf == nullptr || bufSize <= 0) return -1;
    std::memset(buf, 0, static_cast<size_t>(bufSize));

    JobWriter w(buf, bufSize);
    bool ok = true;
    switch (jobKind) {
    case JOB_DIR:
        if (userID == nullptr) return -1;
        ComposeDirectory(w, userID);
        break;
    case JOB_UPLOAD:
        if (path == nullptr) return -1;
        ok = ComposeUpload(w, path);
        break;
    case JOB_DELETE:
        if (path == nullptr) return -1;
        ComposeDelete(w, path);
        break;
    default: return -1;
    }
    if (!ok || w.Failed()) {
        std::memset(buf, 0, static_cast<size_t>(bufSize));
        return -1;
    }
    return w.Length();
}
