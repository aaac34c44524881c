// Runs the real quillbox-cli against a simulated printer started in this process.
#pragma once

#include "sim_printer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// The tool's tests also run against quillbox-cli.exe under Wine (QBX_CLI_UNDER_WINE):
// there the system's reasons are Windows' (and Wine's) words, and a few things Wine does
// differently are allowed for where they occur.
struct CliRun {
    int status = -1;  // exit status, or 128 + signal when killed
    std::string out;  // stdout
    std::string err;  // stderr
};

inline std::string ReadWhole(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Waits until done() holds, looking every 25 ms, for a minute at the most: a loaded
// machine runs the tool and the printer's Ghostscript late. Whether it came to hold.
template <typename Done>
bool Eventually(Done done)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/qbx-cli-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        base = tmpl;
        store = base / "store";
        out = base / "out";
        fs::create_directories(out);
        qbxsim::EnsureStore(store);
    }
    void TearDown() override
    {
        sim.reset();
        std::error_code ec;
        fs::permissions(out, fs::perms::owner_all, ec);
        fs::remove_all(base, ec);
    }

    void StartPrinter(qbxsim::Knobs knobs = {}) { StartSimPrinter(sim, store, knobs); }
    std::string Printer() const { return "127.0.0.1:" + std::to_string(sim->Port()); }

    // Runs the tool with args, and env ("NAME=value") added to its environment;
    // before exec, the child runs childSetup (limits). While it runs, during(pid) may
    // act on it. Killed after 60 s.
    CliRun Run(const std::vector<std::string>& args, std::function<void()> childSetup = {},
               std::function<void(pid_t)> during = {}, const std::vector<std::string>& env = {})
    {
        CliRun r;
        fs::path so = base / "stdout", se = base / "stderr";
        // Everything the child needs is made before fork: the simulator's threads may
        // hold the allocator's lock at that moment.
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(QBX_CLI_EXE));
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // The added ones first: the first of two equal names is the one a program sees.
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        for (char** e = environ; *e; ++e) envp.push_back(*e);
        envp.push_back(nullptr);
        pid_t pid = ::fork();
        if (pid == 0) {
            int o = ::open(so.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int e = ::open(se.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int in = ::open("/dev/null", O_RDONLY);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::dup2(in, 0);
            if (childSetup) childSetup();
            ::execve(QBX_CLI_EXE, argv.data(), envp.data());
            ::_exit(127);
        }
        if (during) during(pid);
        int st = 0;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (::waitpid(pid, &st, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &st, 0);
                ADD_FAILURE() << "quillbox-cli did not end within 60 s";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        r.out = ReadWhole(so);
        r.err = ReadWhole(se);
#ifdef QBX_CLI_UNDER_WINE
        // A Windows program's text output ends its lines with CR LF.
        for (std::string* t : {&r.out, &r.err})
            for (std::size_t at; (at = t->find("\r\n")) != std::string::npos;) t->erase(at, 1);
#endif
        return r;
    }

    // A path as the tool writes it: with the system's separators ("\\" under Wine,
    // where a Unix path is one on the current drive).
    static std::string AsWritten(const fs::path& p)
    {
        std::string s = p.string();
#ifdef QBX_CLI_UNDER_WINE
        for (char& c : s)
            if (c == '/') c = '\\';
#endif
        return s;
    }

    // What the tool running now has written to its standard output so far.
    std::string OutSoFar() const { return ReadWhole(base / "stdout"); }

    // The printer and user 1234, and a command line made of head, them and tail. Most
    // rows list and delete at once: the wait for a scan to settle has rows of its own
    // (a later --settle wins).
    std::vector<std::string> Common() const { return {"--printer", Printer(), "--user", "1234", "--settle", "0"}; }
    std::vector<std::string> With(std::vector<std::string> head, std::vector<std::string> tail = {}) const
    {
        auto c = Common();
        head.insert(head.end(), c.begin(), c.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    }

    // Adds a scan of user with sequence part seq and date14 of size bytes.
    std::string Add(const std::string& user, const std::string& seq, const std::string& date14, std::size_t size,
                    unsigned seed = 1, const std::string& ext = ".TIF")
    {
        return qbxsim::AddImageOfSize(store, user, seq, date14, size, seed, ext);
    }
    std::string StoreBytes(const std::string& rel) const { return ReadWhole(store / rel); }

    // Every name in the output folder (temporary files included).
    std::set<std::string> OutFiles() const
    {
        std::set<std::string> s;
        for (auto& e : fs::directory_iterator(out)) s.insert(e.path().filename().string());
        return s;
    }
    std::vector<std::string> Lines(const std::string& text) const
    {
        std::vector<std::string> v;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    }
    // Jobs the printer received that delete a file.
    std::vector<std::string> DeletionJobs() const
    {
        std::vector<std::string> v;
        for (auto& j : sim->Jobs())
            if (j.bytes.find("deletefile") != std::string::npos) v.push_back(j.bytes);
        return v;
    }
    int UploadJobs() const
    {
        int n = 0;
        for (auto& j : sim->Jobs())
            if (j.bytes.find("FSUPLOAD") != std::string::npos) ++n;
        return n;
    }

    fs::path base, store, out;
    std::unique_ptr<qbxsim::PrinterSim> sim;
};
