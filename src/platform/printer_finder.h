// Finding printers: DNS-SD browsing on the local network and the printers installed on
// this computer, as a system service. Standard types only. Its twins are
// platform/posix/printer_finder.cpp (Avahi's client with its threaded poll, and libcups)
// and platform/win32/printer_finder.cpp (DnsServiceBrowse looked up at run time, and the
// spooler's Standard TCP/IP ports).
//
// Contract:
// - Start begins every source at once and returns at once; nothing it does blocks the
//   caller (a source that must connect somewhere does so on its own thread). A source
//   that is not there (no Avahi daemon, no CUPS, no browse call in the system) finds
//   nothing and is done: it is never an error the user sees.
// - Answers are kept in the finder until Take() hands them over, in the order they came.
//   onNews is called on a source's own thread whenever answers were added or a source
//   finished; it must only post a message or signal (never touch windows or the list).
// - Finished() is true once every source has given what it had for now; answers may
//   still come later (a printer switched on while the dialog is open).
// - Stop ends every source and waits for their threads; after it returns onNews is not
//   called again. The destructor stops. A finder is started at most once.
#pragma once

#include "platform/printer_list.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Where the sources put their answers; shared by the finder and its sources.
class CPrinterInbox {
public:
    explicit CPrinterInbox(std::function<void()> onNews) : m_onNews(std::move(onNews)) {}
    void Add(PrinterAnswer answer);
    // A source has given what it had for now.
    void SourceDone();
    void ExpectSources(int count);
    std::vector<PrinterAnswer> Take();
    bool Finished() const;
    // Waits until there is news (answers or a source finished) or timeoutMs has passed.
    void WaitForNews(int timeoutMs);

private:
    void Notify();
    std::function<void()> m_onNews;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<PrinterAnswer> m_answers;
    int m_pendingSources = 0;
    unsigned m_news = 0;
};

// The system's sources behind a finder (one twin per system).
class IPrinterSources {
public:
    virtual ~IPrinterSources() = default;
    virtual void Stop() = 0;
};
// Starts the system's sources; each calls inbox.SourceDone() once it has given what it
// had. Calls inbox.ExpectSources first.
std::unique_ptr<IPrinterSources> StartPrinterSources(CPrinterInbox& inbox);
// What the finders started from now on use in place of the system's sources (tests feed
// scripted answers this way); an empty function gives the system's sources back.
using PrinterSourcesFactory = std::function<std::unique_ptr<IPrinterSources>(CPrinterInbox&)>;
void SetPrinterSourcesFactory(PrinterSourcesFactory factory);

// How long the printer saved by its DNS-SD name is looked for before the first
// connection of a run, counted from the start of the search: long enough for an
// answer from a printer on the local network (well under a second), short enough that
// a printer that is switched off costs the user little more than a glance.
constexpr int kSavedPrinterWaitMs = 3000;

class CPrinterFinder {
public:
    CPrinterFinder() = default;
    ~CPrinterFinder() { Stop(); }
    CPrinterFinder(const CPrinterFinder&) = delete;
    CPrinterFinder& operator=(const CPrinterFinder&) = delete;

    void Start(std::function<void()> onNews);
    void Stop();
    std::vector<PrinterAnswer> Take();
    bool Finished() const;
    void WaitForNews(int timeoutMs);

private:
    std::unique_ptr<CPrinterInbox> m_inbox;
    std::unique_ptr<IPrinterSources> m_sources;
};

// Looks for the raw-port service named serviceName (or, when uuid is not empty, the
// printer with that UUID, whatever it is called now) for at most waitMs. Fills line and
// returns true when found.
bool FindPrinterByName(const std::string& serviceName, const std::string& uuid, int waitMs, PrinterLine& line);
