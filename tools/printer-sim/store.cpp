// Image store helpers and the sample scans.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "printer_sim.h"

extern char** environ;

namespace qbxsim {
namespace fs = std::filesystem;

std::string ImageRelPath(std::string_view user, std::string_view seq, std::string_view date14, std::string_view ext)
{
    std::string s = "DXR/Images/";
    s += user;
    s += '(';
    s += seq;
    s += ")(";
    s += date14;
    s += ')';
    s += ext;
    return s;
}

fs::path EnsureStore(const fs::path& root)
{
    fs::path dir = root / "DXR" / "Images";
    fs::create_directories(dir);
    return dir;
}

namespace {

void WriteFile(const fs::path& p, std::string_view bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

}  // namespace

std::string AddImage(const fs::path& root, std::string_view user, std::string_view seq, std::string_view date14,
                     std::string_view bytes, std::string_view ext)
{
    EnsureStore(root);
    std::string rel = ImageRelPath(user, seq, date14, ext);
    WriteFile(root / rel, bytes);
    return rel;
}

std::string AddImageOfSize(const fs::path& root, std::string_view user, std::string_view seq, std::string_view date14,
                           std::size_t size, unsigned seed, std::string_view ext)
{
    return AddImage(root, user, seq, date14, PatternBytes(size, seed), ext);
}

std::string PatternBytes(std::size_t size, unsigned seed)
{
    // Each run of 256 bytes is a permutation of all byte values (odd multiplier),
    // shifted by a per-run, seed-dependent offset.
    std::string s(size, '\0');
    const std::uint32_t mult = 2 * (seed % 64) + 3;
    for (std::size_t i = 0; i < size; ++i) {
        std::uint32_t block = static_cast<std::uint32_t>(i / 256);
        std::uint32_t off = (block + seed) * 2654435761u >> 24;
        s[i] = static_cast<char>(((i % 256) * mult + off) & 0xFF);
    }
    return s;
}

std::vector<std::string> AddManyImages(const fs::path& root, std::string_view user, std::size_t count, std::size_t size)
{
    std::vector<std::string> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char seq[8], date[20];
        std::snprintf(seq, sizeof seq, "%03zu", i % 1000);
        // 2024-01-01 plus i minutes; seconds differ too so the dates stay distinct.
        std::size_t minutes = i;
        std::snprintf(date, sizeof date, "202401%02zu%02zu%02zu%02zu", 1 + minutes / 1440 % 28, minutes / 60 % 24,
                      minutes % 60, i / 40320 % 60);
        out.push_back(AddImageOfSize(root, user, seq, date, size, static_cast<unsigned>(i + 1)));
    }
    return out;
}

std::vector<std::string> ListStore(const fs::path& root)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(root / "DXR" / "Images", ec))
        out.push_back("DXR/Images/" + e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// ---------------------------------------------------------------------------
// Sample scans

namespace {

struct Sample {
    const char* user;
    const char* seq;
    const char* date;
    bool color;
};

// Users 1234 and 12345 share leading digits; 1234/003 and 12345/003 exist twice
// with different dates.
constexpr Sample kSamples[] = {
    {"1234", "001", "20240311091502", false},  {"1234", "002", "20240311091740", false},
    {"1234", "003", "20240312143005", false},  {"1234", "003", "20240402080011", true},
    {"1234", "004", "20240402081230", false},  {"12345", "001", "20240311101010", false},
    {"12345", "003", "20240315120000", false}, {"12345", "003", "20240316120000", false},
    {"42", "001", "20240229235959", true},     {"42", "007", "20240301000001", false},
};

std::string Page(const Sample& s, int index)
{
    std::string d = s.date;
    std::string when = d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + " " + d.substr(8, 2) + ":" +
                       d.substr(10, 2) + ":" + d.substr(12, 2);
    std::ostringstream ps;
    ps << "gsave\n"
       << "/Helvetica-Bold findfont 34 scalefont setfont\n"
       << "60 700 moveto (Scan " << s.seq << " for user " << s.user << ") show\n"
       << "/Helvetica findfont 16 scalefont setfont\n"
       << "60 670 moveto (Scanned " << when << ") show\n"
       << "60 648 moveto (Quillbox printer simulator - " << (s.color ? "colour" : "black and white")
       << " sample) show\n"
       << "4 setlinewidth 60 60 492 560 rectstroke\n"
       << "1 1 " << (index % 4 + 2) << " { /k exch def newpath 80 k 90 mul add 500 36 0 360 arc\n"
       << "  k 0.2 mul 0.3 1 k 0.15 mul sub setrgbcolor k 2 mod 0 eq {fill} {stroke} ifelse } for\n"
       << "0 setgray 1 setlinewidth\n"
       << "0 24 " << (120 + 24 * (index % 5)) << " { /y exch def newpath 80 y 120 add moveto "
       << "530 y 260 add lineto stroke } for\n"
       << "newpath 306 90 moveto 420 " << (200 + 10 * index) << " lineto 192 " << (200 + 10 * index)
       << " lineto closepath 0.9 0.5 0.1 setrgbcolor fill\n"
       << "grestore showpage\n";
    return ps.str();
}

bool RunGs(const std::string& gs, const std::vector<std::string>& args, const fs::path& errfile, std::string* error)
{
    std::vector<std::string> a{gs};
    a.insert(a.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, errfile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    pid_t pid;
    int rc = ::posix_spawnp(&pid, gs.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
        if (error) *error = gs + ": " + std::strerror(rc);
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (error) {
        std::ifstream in(errfile);
        std::stringstream ss;
        ss << in.rdbuf();
        *error = "Ghostscript failed: " + ss.str();
    }
    return false;
}

}  // namespace

bool MakeSampleStore(const fs::path& root, const std::string& gs_path, std::string* error)
{
    try {
        EnsureStore(root);
        if (!ListStore(root).empty()) return true;
        std::string tmpl = (root / ".qbxsim-render-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) {
            if (error) *error = std::string("mkdtemp: ") + std::strerror(errno);
            return false;
        }
        fs::path tmp = tmpl;
        struct Cleanup {
            fs::path p;
            ~Cleanup()
            {
                std::error_code ec;
                fs::remove_all(p, ec);
            }
        } cleanup{tmp};

        bool ok = true;
        for (bool color : {false, true}) {
            std::string prog = "%!PS\n";
            std::vector<const Sample*> pages;
            int index = 0;
            for (const Sample& s : kSamples) {
                ++index;
                if (s.color != color) continue;
                prog += Page(s, index);
                pages.push_back(&s);
            }
            const char* kind = color ? "color" : "mono";
            fs::path src = tmp / (std::string(kind) + ".ps");
            WriteFile(src, prog);
            std::vector<std::string> args = {"-q",
                                             "-dSAFER",
                                             "-dBATCH",
                                             "-dNOPAUSE",
                                             color ? "-sDEVICE=tiff24nc" : "-sDEVICE=tiffg4",
                                             color ? "-r60" : "-r100",
                                             "-sOutputFile=" + (tmp / (std::string(kind) + "-%02d.tif")).string(),
                                             src.string()};
            ok = ok && RunGs(gs_path, args, tmp / "gs-errors.txt", error);
            if (!ok) break;
            for (std::size_t i = 0; i < pages.size(); ++i) {
                char name[32];
                std::snprintf(name, sizeof name, "%s-%02zu.tif", kind, i + 1);
                fs::rename(tmp / name, root / ImageRelPath(pages[i]->user, pages[i]->seq, pages[i]->date));
            }
        }
        return ok;
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    }
}

}  // namespace qbxsim
