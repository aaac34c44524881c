// The POSIX sources of printers: DNS-SD through the Avahi daemon (its client library
// with a threaded poll of its own) and the queues of the CUPS server.
#include "platform/printer_finder.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>
#include <cups/cups.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr const char* kBrowsedTypes[] = {kRawPrinterService, kLpdPrinterService, kIppPrinterService};
constexpr int kBrowserCount = 3;

// DNS-SD through Avahi. Everything Avahi calls back runs on its poll's thread with the
// poll's lock held; the only thing that leaves it is an answer put into the inbox.
class AvahiSource {
public:
    explicit AvahiSource(CPrinterInbox& inbox) : m_inbox(inbox)
    {
        // Connecting to the system bus may take a moment: never on the caller's thread.
        m_setup = std::thread([this] { Setup(); });
    }

    ~AvahiSource() { Stop(); }

    void Stop()
    {
        if (m_setup.joinable()) m_setup.join();
        if (m_poll && m_started) avahi_threaded_poll_stop(m_poll);
        m_started = false;
        if (m_client) avahi_client_free(m_client);  // frees its browsers and resolvers too
        m_client = nullptr;
        if (m_poll) avahi_threaded_poll_free(m_poll);
        m_poll = nullptr;
        Done();
    }

private:
    void Setup()
    {
        m_poll = avahi_threaded_poll_new();
        if (!m_poll) return Done();
        int error = 0;
        // No AVAHI_CLIENT_NO_FAIL: without a daemon this fails at once, and the network
        // simply has no printers to offer.
        m_client = avahi_client_new(avahi_threaded_poll_get(m_poll), AvahiClientFlags(0), ClientEvent, this, &error);
        if (!m_client) return Done();
        for (const char* type : kBrowsedTypes) {
            // IPv4 only: an IPv6 link-local address needs its interface to connect, and
            // every printer that speaks IPv6 here also speaks IPv4.
            if (!avahi_service_browser_new(m_client, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, type, nullptr,
                                           AvahiLookupFlags(0), BrowseEvent, this))
                ++m_browsersDone;
        }
        if (m_browsersDone == kBrowserCount) return Done();
        if (avahi_threaded_poll_start(m_poll) < 0) return Done();
        m_started = true;
    }

    // Once, when every browser has said "all for now" and every resolver has answered.
    void Done()
    {
        if (!m_done.exchange(true)) m_inbox.SourceDone();
    }

    void CheckDone()
    {
        if (m_browsersDone >= kBrowserCount && m_resolving == 0) Done();
    }

    static void ClientEvent(AvahiClient*, AvahiClientState state, void* self)
    {
        // The daemon went away: what was found stays; nothing more will come.
        if (state == AVAHI_CLIENT_FAILURE) static_cast<AvahiSource*>(self)->Done();
    }

    static void BrowseEvent(AvahiServiceBrowser*, AvahiIfIndex iface, AvahiProtocol protocol, AvahiBrowserEvent event,
                            const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* data)
    {
        auto* self = static_cast<AvahiSource*>(data);
        switch (event) {
        case AVAHI_BROWSER_NEW:
            if (avahi_service_resolver_new(self->m_client, iface, protocol, name, type, domain, AVAHI_PROTO_INET,
                                           AvahiLookupFlags(0), ResolveEvent, self))
                ++self->m_resolving;
            break;
        case AVAHI_BROWSER_REMOVE: {
            PrinterAnswer a;
            a.kind = PrinterAnswer::Kind::Removed;
            a.serviceName = name ? name : "";
            a.serviceType = type ? type : "";
            a.domain = domain ? domain : "";
            a.interfaceIndex = iface;
            self->m_inbox.Add(std::move(a));
            break;
        }
        case AVAHI_BROWSER_ALL_FOR_NOW:
        case AVAHI_BROWSER_FAILURE:
            ++self->m_browsersDone;
            self->CheckDone();
            break;
        case AVAHI_BROWSER_CACHE_EXHAUSTED: break;
        }
    }

    static void ResolveEvent(AvahiServiceResolver* r, AvahiIfIndex iface, AvahiProtocol, AvahiResolverEvent event,
                             const char* name, const char* type, const char* domain, const char* host,
                             const AvahiAddress* address, uint16_t port, AvahiStringList* txt, AvahiLookupResultFlags,
                             void* data)
    {
        auto* self = static_cast<AvahiSource*>(data);
        if (event == AVAHI_RESOLVER_FOUND && address) {
            PrinterAnswer a;
            a.serviceName = name ? name : "";
            a.serviceType = type ? type : "";
            a.domain = domain ? domain : "";
            a.interfaceIndex = iface;
            a.hostName = host ? host : "";
            char text[AVAHI_ADDRESS_STR_MAX] = "";
            avahi_address_snprint(text, sizeof text, address);
            a.address = text;
            a.port = port;
            // The record's strings in the order they were sent: the first of a key counts.
            std::string wire;
            for (AvahiStringList* s = txt; s; s = avahi_string_list_get_next(s)) {
                const std::size_t len = avahi_string_list_get_size(s);
                if (len > 255) continue;
                std::string one(1, static_cast<char>(len));
                one.append(reinterpret_cast<const char*>(avahi_string_list_get_text(s)), len);
                wire = one + wire;
            }
            a.txt = ParseTxtRecord(reinterpret_cast<const unsigned char*>(wire.data()), wire.size());
            self->m_inbox.Add(std::move(a));
        }
        avahi_service_resolver_free(r);
        if (self->m_resolving > 0) --self->m_resolving;
        self->CheckDone();
    }

    CPrinterInbox& m_inbox;
    std::thread m_setup;
    AvahiThreadedPoll* m_poll = nullptr;
    AvahiClient* m_client = nullptr;
    bool m_started = false;
    int m_browsersDone = 0;  // poll thread only (or setup, before the poll runs)
    int m_resolving = 0;
    std::atomic<bool> m_done{false};
};

// The CUPS server's queues: those that print to a network address.
class CupsSource {
public:
    explicit CupsSource(CPrinterInbox& inbox) : m_inbox(inbox)
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~CupsSource() { Stop(); }
    void Stop()
    {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    void Run()
    {
        // A server that does not answer holds the list back for at most this long.
        constexpr int kConnectMs = 3000;
        http_t* http =
            httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMs, nullptr);
        if (http) {
            static const char* const kWanted[] = {"printer-name", "device-uri", "printer-make-and-model",
                                                  "printer-location"};
            ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
            ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                          static_cast<int>(sizeof kWanted / sizeof kWanted[0]), nullptr, kWanted);
            if (ipp_t* response = cupsDoRequest(http, request, "/")) {
                Read(response);
                ippDelete(response);
            }
            httpClose(http);
        }
        m_inbox.SourceDone();
    }

    // The answer is one group of attributes per queue, separated by IPP_TAG_ZERO. The
    // queue's own UUID is not the printer's: it is left out, so a queue and the printer's
    // announcement meet by address and port. A queue to an IPv6 address is left out as
    // well: this program connects over IPv4 only (as the browse above looks for IPv4
    // only), so such a line would only lead to a connection that cannot be made.
    void Read(ipp_t* response)
    {
        PrinterAnswer a;
        std::string uri;
        auto flush = [&] {
            if (!a.serviceName.empty() && ParseDeviceUri(uri, a.hostName, a.port) &&
                a.hostName.find(':') == std::string::npos) {
                a.source = kInstalledHere;
                a.address = a.hostName;
                m_inbox.Add(a);
            }
            a = PrinterAnswer{};
            uri.clear();
        };
        for (ipp_attribute_t* attr = ippFirstAttribute(response); attr; attr = ippNextAttribute(response)) {
            const char* name = ippGetName(attr);
            if (!name) {
                flush();
                continue;
            }
            const char* value = ippGetString(attr, 0, nullptr);
            if (!value) continue;
            if (!std::strcmp(name, "printer-name"))
                a.serviceName = value;
            else if (!std::strcmp(name, "device-uri"))
                uri = value;
            else if (!std::strcmp(name, "printer-make-and-model"))
                a.model = value;
            else if (!std::strcmp(name, "printer-location"))
                a.location = value;
        }
        flush();
    }

    CPrinterInbox& m_inbox;
    std::thread m_thread;
};

class PosixSources final : public IPrinterSources {
public:
    explicit PosixSources(CPrinterInbox& inbox) : m_cups(inbox), m_avahi(inbox) {}
    void Stop() override
    {
        m_avahi.Stop();
        m_cups.Stop();
    }

private:
    CupsSource m_cups;
    AvahiSource m_avahi;
};

}  // namespace

std::unique_ptr<IPrinterSources> StartPrinterSources(CPrinterInbox& inbox)
{
    inbox.ExpectSources(2);
    return std::make_unique<PosixSources>(inbox);
}
