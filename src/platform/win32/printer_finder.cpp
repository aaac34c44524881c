// The Windows sources of printers: DNS-SD through dnsapi's DnsServiceBrowse and
// DnsServiceResolve, looked up at run time (a system without them, Wine's among them,
// still starts the program and simply finds nothing on the network), and the spooler's
// Standard TCP/IP ports with the printers installed on them.
#include "platform/printer_finder.h"

#include <windows.h>
#include <windns.h>
#include <winspool.h>

#include "platform/win32/utf16.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace {

// The port monitor's configuration of a Standard TCP/IP port, as "GetConfigInfo"
// answers it (the monitor's own header is not in mingw-w64).
struct QbxPortData1 {
    WCHAR sztPortName[64];
    DWORD dwVersion;
    DWORD dwProtocol;  // 1 raw, 2 LPR
    DWORD cbSize;
    DWORD dwReserved;
    WCHAR sztHostAddress[49];
    WCHAR sztSNMPCommunity[33];
    DWORD dwDoubleSpool;
    WCHAR sztQueue[33];
    WCHAR sztIPAddress[16];
    BYTE Reserved[540];
    DWORD dwPortNumber;
    DWORD dwSNMPEnabled;
    DWORD dwSNMPDevIndex;
};
struct QbxConfigInfoData1 {
    BYTE Reserved[128];
    DWORD dwVersion;
};
constexpr DWORD kProtocolRaw = 1;
// What a browse or resolve call that has begun returns (not in mingw-w64's windns.h).
constexpr DNS_STATUS kRequestPending = 9506;

// dnsapi's calls, when the system has them.
using BrowseFn = DNS_STATUS(WINAPI*)(PDNS_SERVICE_BROWSE_REQUEST, PDNS_SERVICE_CANCEL);
using CancelFn = DNS_STATUS(WINAPI*)(PDNS_SERVICE_CANCEL);
using ResolveFn = DNS_STATUS(WINAPI*)(PDNS_SERVICE_RESOLVE_REQUEST, PDNS_SERVICE_CANCEL);
using FreeInstanceFn = VOID(WINAPI*)(PDNS_SERVICE_INSTANCE);
using FreeFn = VOID(WINAPI*)(PVOID, DNS_FREE_TYPE);

struct DnsApi {
    BrowseFn browse = nullptr;
    CancelFn browseCancel = nullptr;
    ResolveFn resolve = nullptr;
    CancelFn resolveCancel = nullptr;
    FreeInstanceFn freeInstance = nullptr;
    FreeFn free = nullptr;
    bool Load()
    {
        HMODULE m = ::LoadLibraryW(L"dnsapi.dll");
        if (!m) return false;
        browse = reinterpret_cast<BrowseFn>(reinterpret_cast<void*>(::GetProcAddress(m, "DnsServiceBrowse")));
        browseCancel =
            reinterpret_cast<CancelFn>(reinterpret_cast<void*>(::GetProcAddress(m, "DnsServiceBrowseCancel")));
        resolve = reinterpret_cast<ResolveFn>(reinterpret_cast<void*>(::GetProcAddress(m, "DnsServiceResolve")));
        resolveCancel =
            reinterpret_cast<CancelFn>(reinterpret_cast<void*>(::GetProcAddress(m, "DnsServiceResolveCancel")));
        freeInstance =
            reinterpret_cast<FreeInstanceFn>(reinterpret_cast<void*>(::GetProcAddress(m, "DnsServiceFreeInstance")));
        free = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(::GetProcAddress(m, "DnsFree")));
        return browse && browseCancel && resolve && resolveCancel && freeInstance && free;
    }
};

constexpr const char* kTypes[] = {kRawPrinterService, kLpdPrinterService, kIppPrinterService};
constexpr int kTypeCount = 3;
// The browse call says nothing like "all for now": after this the network has answered.
constexpr int kNetworkAnswerMs = 3000;

// Everything the pool threads' callbacks reach. It outlives every browse and resolve
// (their cancel structures live here until they have ended); should one never end, the
// state is left allocated rather than freed under a callback.
struct DnsState {
    CPrinterInbox* inbox = nullptr;
    DnsApi api;
    std::mutex mutex;
    std::condition_variable ended;
    bool stopping = false;
    struct Browse {
        DnsState* state;
        int type;
        std::wstring query;
        DNS_SERVICE_CANCEL cancel{};
        bool running = false;
    } browses[kTypeCount];
    struct Resolve {
        DnsState* state;
        int type;
        std::wstring query;
        DNS_SERVICE_CANCEL cancel{};
        bool running = false;
    };
    std::vector<std::unique_ptr<Resolve>> resolves;

    static VOID WINAPI Resolved(DWORD status, PVOID context, PDNS_SERVICE_INSTANCE instance)
    {
        auto* r = static_cast<Resolve*>(context);
        DnsState* s = r->state;
        if (status == ERROR_SUCCESS && instance) {
            PrinterAnswer a;
            std::string full = Narrow(instance->pszInstanceName ? instance->pszInstanceName : L"");
            const std::string suffix = std::string(".") + kTypes[r->type] + ".";
            const auto at = full.find(suffix);
            a.serviceName = at == std::string::npos ? full : full.substr(0, at);
            a.serviceType = kTypes[r->type];
            a.domain = "local";
            a.interfaceIndex = static_cast<int>(instance->dwInterfaceIndex);
            a.hostName = Narrow(instance->pszHostName ? instance->pszHostName : L"");
            if (instance->ip4Address) {
                const auto* b = reinterpret_cast<const unsigned char*>(instance->ip4Address);
                a.address = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
                            std::to_string(b[3]);
            }
            a.port = instance->wPort;
            for (DWORD i = 0; i < instance->dwPropertyCount && instance->keys && instance->values; ++i)
                AddTxtPair(a.txt, Narrow(instance->keys[i] ? instance->keys[i] : L""),
                           Narrow(instance->values[i] ? instance->values[i] : L""));
            s->inbox->Add(std::move(a));
        }
        if (instance) s->api.freeInstance(instance);
        std::lock_guard<std::mutex> lock(s->mutex);
        r->running = false;
        s->ended.notify_all();
    }

    static VOID WINAPI Browsed(DWORD status, PVOID context, PDNS_RECORD records)
    {
        auto* b = static_cast<Browse*>(context);
        DnsState* s = b->state;
        if (status == ERROR_SUCCESS) {
            for (PDNS_RECORD r = records; r; r = r->pNext) {
                if (r->wType != DNS_TYPE_PTR || !r->Data.PTR.pNameHost) continue;
                std::lock_guard<std::mutex> lock(s->mutex);
                if (s->stopping) break;
                auto res = std::make_unique<Resolve>();
                res->state = s;
                res->type = b->type;
                res->query = r->Data.PTR.pNameHost;
                DNS_SERVICE_RESOLVE_REQUEST req{};
                req.Version = DNS_QUERY_REQUEST_VERSION1;
                req.QueryName = res->query.data();
                req.pResolveCompletionCallback = Resolved;
                req.pQueryContext = res.get();
                res->running = true;
                if (s->api.resolve(&req, &res->cancel) != kRequestPending) res->running = false;
                s->resolves.push_back(std::move(res));
            }
        } else {
            // Cancelled or failed: this browse has ended.
            std::lock_guard<std::mutex> lock(s->mutex);
            b->running = false;
            s->ended.notify_all();
        }
        if (records) s->api.free(records, DnsFreeRecordList);
    }
};

class WinSources final : public IPrinterSources {
public:
    explicit WinSources(CPrinterInbox& inbox) : m_inbox(inbox)
    {
        m_ports = std::thread([this] { ReadPorts(); });
        m_dns = new DnsState;
        m_dns->inbox = &inbox;
        bool any = false;
        if (m_dns->api.Load()) {
            std::lock_guard<std::mutex> lock(m_dns->mutex);
            for (int t = 0; t < kTypeCount; ++t) {
                auto& b = m_dns->browses[t];
                b.state = m_dns;
                b.type = t;
                b.query = Widen(std::string(kTypes[t]) + ".local");
                DNS_SERVICE_BROWSE_REQUEST req{};
                req.Version = DNS_QUERY_REQUEST_VERSION1;
                req.QueryName = b.query.c_str();
                req.pBrowseCallback = DnsState::Browsed;
                req.pQueryContext = &b;
                b.running = m_dns->api.browse(&req, &b.cancel) == kRequestPending;
                any |= b.running;
            }
        }
        if (!any) {
            inbox.SourceDone();  // no browse call here: nothing on the network to offer
            return;
        }
        m_network = std::thread([this] {
            std::unique_lock<std::mutex> lock(m_waitMutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(kNetworkAnswerMs), [this] { return m_stop; });
            lock.unlock();
            m_inbox.SourceDone();
        });
    }

    ~WinSources() override { Stop(); }

    void Stop() override
    {
        {
            std::lock_guard<std::mutex> lock(m_waitMutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_network.joinable()) m_network.join();
        if (m_ports.joinable()) m_ports.join();
        if (!m_dns) return;
        std::unique_lock<std::mutex> lock(m_dns->mutex);
        m_dns->stopping = true;
        for (auto& b : m_dns->browses)
            if (b.running) m_dns->api.browseCancel(&b.cancel);
        for (auto& r : m_dns->resolves)
            if (r->running) m_dns->api.resolveCancel(&r->cancel);
        const bool allEnded = m_dns->ended.wait_for(lock, std::chrono::seconds(2), [this] {
            for (auto& b : m_dns->browses)
                if (b.running) return false;
            for (auto& r : m_dns->resolves)
                if (r->running) return false;
            return true;
        });
        lock.unlock();
        if (allEnded) delete m_dns;
        m_dns = nullptr;
    }

private:
    // Standard TCP/IP ports and the printers installed on them.
    void ReadPorts()
    {
        struct Installed {
            std::string name, model, location;
        };
        std::multimap<std::wstring, Installed> byPort;
        DWORD needed = 0, count = 0;
        ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
        std::vector<BYTE> pbuf(needed ? needed : 1);
        if (needed && ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, pbuf.data(), needed, &needed, &count)) {
            const auto* p = reinterpret_cast<const PRINTER_INFO_2W*>(pbuf.data());
            for (DWORD i = 0; i < count; ++i)
                if (p[i].pPortName)
                    byPort.insert({p[i].pPortName,
                                   {Narrow(p[i].pPrinterName ? p[i].pPrinterName : L""),
                                    Narrow(p[i].pDriverName ? p[i].pDriverName : L""),
                                    Narrow(p[i].pLocation ? p[i].pLocation : L"")}});
        }
        needed = count = 0;
        ::EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
        std::vector<BYTE> buf(needed ? needed : 1);
        if (needed && ::EnumPortsW(nullptr, 2, buf.data(), needed, &needed, &count)) {
            const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buf.data());
            for (DWORD i = 0; i < count && !Stopping(); ++i) {
                if (!ports[i].pPortName || !ports[i].pMonitorName ||
                    std::wcscmp(ports[i].pMonitorName, L"Standard TCP/IP Port") != 0)
                    continue;
                std::string host;
                int port = 0;
                if (!PortConfig(ports[i].pPortName, host, port)) continue;
                PrinterAnswer a;
                a.source = kInstalledHere;
                a.hostName = a.address = host;
                a.port = port;
                auto [from, to] = byPort.equal_range(ports[i].pPortName);
                if (from == to) {
                    a.serviceName = Narrow(ports[i].pPortName);
                    m_inbox.Add(a);
                }
                for (auto it = from; it != to; ++it) {
                    a.serviceName = it->second.name;
                    a.model = it->second.model;
                    a.location = it->second.location;
                    m_inbox.Add(a);
                }
            }
        }
        m_inbox.SourceDone();
    }

    static bool PortConfig(const wchar_t* portName, std::string& host, int& port)
    {
        std::wstring xcv = std::wstring(L",XcvPort ") + portName;
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
        HANDLE h = nullptr;
        if (!::OpenPrinterW(xcv.data(), &h, &defaults) && !::OpenPrinterW(xcv.data(), &h, nullptr)) return false;
        QbxConfigInfoData1 in{};
        in.dwVersion = 1;
        QbxPortData1 out{};
        DWORD needed = 0, status = 0;
        const bool ok = ::XcvDataW(h, L"GetConfigInfo", reinterpret_cast<PBYTE>(&in), sizeof in,
                                   reinterpret_cast<PBYTE>(&out), sizeof out, &needed, &status) &&
                        status == ERROR_SUCCESS;
        ::ClosePrinter(h);
        if (!ok) return false;
        out.sztHostAddress[48] = out.sztIPAddress[15] = L'\0';
        host = Narrow(out.sztHostAddress[0] ? out.sztHostAddress : out.sztIPAddress);
        port = out.dwProtocol == kProtocolRaw ? static_cast<int>(out.dwPortNumber) : 9100;
        return !host.empty() && port > 0 && port <= 65535;
    }

    bool Stopping()
    {
        std::lock_guard<std::mutex> lock(m_waitMutex);
        return m_stop;
    }

    CPrinterInbox& m_inbox;
    std::thread m_ports;
    std::thread m_network;
    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    DnsState* m_dns = nullptr;
};

}  // namespace

std::unique_ptr<IPrinterSources> StartPrinterSources(CPrinterInbox& inbox)
{
    inbox.ExpectSources(2);
    return std::make_unique<WinSources>(inbox);
}
