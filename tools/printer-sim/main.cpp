// quillbox-printer-sim: runs the simulated printer until SIGINT/SIGTERM.
#include <signal.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>
#include <iostream>
#include <string>

#include "advertise.h"
#include "printer_sim.h"

namespace {

const char kUsage[] = "usage: quillbox-printer-sim [options]\n"
                      "  --root DIR            image store root (default ./printer-store); images in DIR/DXR/Images\n"
                      "  --port N              TCP port (default 3102; 0 = any free port)\n"
                      "  --bind ADDR           address to listen on (default 127.0.0.1)\n"
                      "  --samples             fill an empty store with sample scans\n"
                      "  --record DIR          write every job received to DIR\n"
                      "  --gs PATH             Ghostscript executable (default gs)\n"
                      "  --gs-timeout MS       kill a PostScript job after MS (default 20000)\n"
                      "  --quiet               no log on stderr\n"
                      "  --advertise [NAME]    announce it on the network (DNS-SD _pdl-datastream._tcp, through\n"
                      "                        the Avahi daemon) as NAME (default \"Quillbox Simulated Printer\");\n"
                      "                        give --bind 0.0.0.0 or an interface's address so others can reach it\n"
                      "knobs:\n"
                      "  --refuse              keep the port bound but do not listen\n"
                      "  --accept-delay MS     accept pending connections only after MS\n"
                      "  --max-connections N   serve at most N connections at once (default 16)\n"
                      "  --close-after-job     close the connection after each job\n"
                      "  --idle-timeout MS     close a connection idle for MS (default 30000; 0 = never)\n"
                      "  --scan-in-progress USER:PAGES:BYTES:MS\n"
                      "                        a new scan for USER that the printer is still writing: one page of\n"
                      "                        BYTES now and one more every MS until it has PAGES pages\n"
                      "  --silent              never answer\n"
                      "  --answer-delay MS     wait MS before each answer\n"
                      "  --pieces N,N,...      send answers in pieces of these sizes\n"
                      "  --piece-pause MS      pause between pieces (default 100)\n"
                      "  --trickle N/MS        send N bytes every MS\n"
                      "  --drop-after N        close the connection after N bytes of an answer\n"
                      "  --reset-on-drop       ... with a reset instead of an orderly close\n"
                      "  --extra-before STR    send STR before each answer (escapes \\r \\n \\t \\f \\e \\xHH \\\\)\n"
                      "  --extra-after STR     send STR after each answer\n"
                      "  --file-error          answer every upload as for a file that is not there\n"
                      "  --grow N              append N bytes to a file just before its upload\n"
                      "  --before-ff STR       send STR between an upload's data and its form feed\n"
                      "  --apply-to all|postscript|upload   which answers the answer knobs act on\n"
                      "  --quirk NAME          answer as some real devices do (repeat for more than one):\n";

std::string UsageText() { return kUsage + qbxsim::QuirkHelp(); }

struct ScanInProgress {
    std::string user;
    int pages = 0;
    std::size_t pageBytes = 0;
    int pauseMs = 0;
};

[[noreturn]] void Usage(const std::string& why);
long Number(const std::string& flag, const std::string& s);

// "USER:PAGES:BYTES:MS".
ScanInProgress ParseScanInProgress(const std::string& v)
{
    const std::string flag = "--scan-in-progress";
    std::vector<std::string> parts;
    for (std::size_t pos = 0;;) {
        const std::size_t colon = v.find(':', pos);
        parts.push_back(v.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos));
        if (colon == std::string::npos) break;
        pos = colon + 1;
    }
    if (parts.size() != 4 || parts[0].empty() || parts[0].size() > 8 ||
        parts[0].find_first_not_of("0123456789") != std::string::npos)
        Usage(flag + " wants USER:PAGES:BYTES:MS (USER 1 to 8 digits)");
    ScanInProgress s;
    s.user = parts[0];
    s.pages = static_cast<int>(Number(flag, parts[1]));
    s.pageBytes = static_cast<std::size_t>(Number(flag, parts[2]));
    s.pauseMs = static_cast<int>(Number(flag, parts[3]));
    if (s.pages < 1 || s.pageBytes < 1) Usage(flag + ": PAGES and BYTES must be at least 1");
    return s;
}

// Starts the scan of s: its first page in a new store file dated now, the others
// written by the returned object.
std::unique_ptr<qbxsim::GrowingScan> StartScanInProgress(const std::filesystem::path& root, const ScanInProgress& s)
{
    char date[16];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y%m%d%H%M%S", &local);
    const std::string rel = qbxsim::AddImageOfSize(root, s.user, "099", date, s.pageBytes, 7);
    std::cerr << "[sim] scan in progress: " << rel << ", " << s.pages << " pages of " << s.pageBytes
              << " bytes, one every " << s.pauseMs << " ms" << std::endl;
    if (s.pages == 1) return nullptr;
    return std::make_unique<qbxsim::GrowingScan>(root / rel, s.pageBytes, std::chrono::milliseconds(s.pauseMs),
                                                 s.pages - 1);
}

// Asked for (no reason): the usage on stdout, status 0. Otherwise the reason and the
// usage on stderr, status 2.
[[noreturn]] void Usage(const std::string& why)
{
    if (why.empty()) {
        std::cout << UsageText() << std::flush;
        std::exit(0);
    }
    std::cerr << "quillbox-printer-sim: " << why << "\n" << UsageText();
    std::exit(2);
}

long Number(const std::string& flag, const std::string& s)
{
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < 0) Usage("bad number for " + flag + ": " + s);
    return v;
}

std::string Unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        switch (c) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'f': out += '\f'; break;
        case 'e': out += '\x1b'; break;
        case 'x':
            if (i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
                out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    qbxsim::Options opt;
    opt.root = "printer-store";
    opt.keep_jobs = false;  // recorded only with --record
    bool samples = false, quiet = false, advertise = false;
    std::optional<ScanInProgress> inProgress;
    std::string advertiseName = "Quillbox Simulated Printer";
    qbxsim::Knobs& k = opt.knobs;

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage("missing value for " + a);
            return argv[++i];
        };
        if (a == "--root")
            opt.root = value();
        else if (a == "--port") {
            long p = Number(a, value());
            if (p > 65535) Usage("bad port");
            opt.port = static_cast<std::uint16_t>(p);
        } else if (a == "--bind")
            opt.bind_address = value();
        else if (a == "--samples")
            samples = true;
        else if (a == "--record")
            opt.record_dir = value();
        else if (a == "--gs")
            opt.gs_path = value();
        else if (a == "--gs-timeout")
            opt.gs_timeout_ms = static_cast<int>(Number(a, value()));
        else if (a == "--quiet")
            quiet = true;
        else if (a == "--advertise") {
            advertise = true;
            // The name is optional: the next word is it unless it is an option.
            if (i + 1 < argc && argv[i + 1][0] != '-') advertiseName = argv[++i];
            if (advertiseName.empty() || advertiseName.size() > 63) Usage("--advertise NAME: 1 to 63 bytes");
        } else if (a == "--refuse")
            k.refuse = true;
        else if (a == "--accept-delay")
            k.accept_delay_ms = static_cast<int>(Number(a, value()));
        else if (a == "--max-connections")
            k.max_connections = static_cast<int>(Number(a, value()));
        else if (a == "--close-after-job")
            k.close_after_job = true;
        else if (a == "--idle-timeout")
            k.idle_timeout_ms = static_cast<int>(Number(a, value()));
        else if (a == "--scan-in-progress")
            inProgress = ParseScanInProgress(value());
        else if (a == "--silent")
            k.silent = true;
        else if (a == "--answer-delay")
            k.answer_delay_ms = static_cast<int>(Number(a, value()));
        else if (a == "--pieces") {
            std::string v = value();
            std::size_t pos = 0;
            while (pos <= v.size()) {
                std::size_t comma = v.find(',', pos);
                if (comma == std::string::npos) comma = v.size();
                k.pieces.push_back(static_cast<std::size_t>(Number(a, v.substr(pos, comma - pos))));
                pos = comma + 1;
            }
        } else if (a == "--piece-pause")
            k.piece_pause_ms = static_cast<int>(Number(a, value()));
        else if (a == "--trickle") {
            std::string v = value();
            auto slash = v.find('/');
            if (slash == std::string::npos) Usage("--trickle wants BYTES/MS");
            k.trickle_bytes = static_cast<std::size_t>(Number(a, v.substr(0, slash)));
            k.trickle_interval_ms = static_cast<int>(Number(a, v.substr(slash + 1)));
        } else if (a == "--drop-after")
            k.drop_after = static_cast<std::size_t>(Number(a, value()));
        else if (a == "--reset-on-drop")
            k.reset_on_drop = true;
        else if (a == "--extra-before")
            k.extra_before = Unescape(value());
        else if (a == "--extra-after")
            k.extra_after = Unescape(value());
        else if (a == "--file-error")
            k.upload_file_error = true;
        else if (a == "--grow")
            k.grow_before_upload = static_cast<std::size_t>(Number(a, value()));
        else if (a == "--before-ff")
            k.before_form_feed = Unescape(value());
        else if (a == "--apply-to") {
            std::string v = value();
            if (v == "all")
                k.apply_to = qbxsim::ApplyTo::AllAnswers;
            else if (v == "postscript")
                k.apply_to = qbxsim::ApplyTo::PostScriptAnswers;
            else if (v == "upload")
                k.apply_to = qbxsim::ApplyTo::UploadAnswers;
            else
                Usage("bad --apply-to value " + v);
        } else if (a == "--quirk") {
            const std::string name = value();
            const unsigned bit = qbxsim::QuirkByName(name);
            if (bit == 0) Usage("no quirk named " + name);
            k.quirks |= bit;
        } else if (a == "-h" || a == "--help")
            Usage("");
        else
            Usage("unknown option " + a);
    }

    if (!quiet) opt.log = [](const std::string& line) { std::cerr << "[sim] " << line << std::endl; };

    if (samples) {
        std::string err;
        if (!qbxsim::MakeSampleStore(opt.root, opt.gs_path, &err)) {
            std::cerr << "quillbox-printer-sim: cannot make the sample store: " << err << "\n";
            return 1;
        }
    }

    // Signals are taken synchronously below; block them before any thread starts.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);

    qbxsim::PrinterSim sim(opt);
    if (!sim.Start()) {
        std::cerr << "quillbox-printer-sim: " << sim.LastError() << "\n";
        return 1;
    }
    std::unique_ptr<qbxsim::GrowingScan> scan;
    if (inProgress) scan = StartScanInProgress(sim.Root(), *inProgress);
    std::cout << "quillbox-printer-sim listening on " << opt.bind_address << " port " << sim.Port() << " root "
              << sim.Root().string() << std::endl;

    qbxsim::Advertiser advertiser;
    if (advertise) {
        std::string why;
        if (!advertiser.Start(advertiseName, sim.Port(), why))
            std::cerr << "quillbox-printer-sim: not announced on the network: " << why << std::endl;
    }

    int sig = 0;
    sigwait(&set, &sig);
    advertiser.Stop();
    if (!quiet) std::cerr << "[sim] signal " << sig << ", stopping" << std::endl;
    if (scan) scan->Stop();
    sim.Stop();
    return 0;
}
