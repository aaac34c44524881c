#include "advertise.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <iostream>

namespace qbxsim {

namespace {
// A fixed UUID: the same simulated printer is the same device from run to run.
constexpr const char* kUuid = "8d5c6f2e-51a0-4a4b-9a61-3b1f0c2d7e41";
}  // namespace

struct Advertiser::Impl {
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
    std::string name;
    std::uint16_t port = 0;

    // Runs on the poll's thread (or before it starts).
    void Publish()
    {
        if (!group) group = avahi_entry_group_new(client, GroupEvent, this);
        if (!group) return;
        const std::string txtNote = "note=Quillbox test bench";
        int r = avahi_entry_group_add_service(group, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, AvahiPublishFlags(0),
                                              name.c_str(), "_pdl-datastream._tcp", nullptr, nullptr, port, "txtvers=1",
                                              "qtotal=1", "ty=Quillbox Simulated Scanner-Printer",
                                              "product=(Quillbox Simulated Scanner-Printer)", txtNote.c_str(),
                                              "pdl=application/postscript,application/vnd.hp-PCL",
                                              (std::string("UUID=") + kUuid).c_str(), "priority=50", nullptr);
        if (r == AVAHI_ERR_COLLISION) {
            Rename();
            return;
        }
        if (r < 0 || avahi_entry_group_commit(group) < 0)
            std::cerr << "[sim] cannot announce \"" << name << "\": " << avahi_strerror(avahi_client_errno(client))
                      << std::endl;
    }

    void Rename()
    {
        char* alt = avahi_alternative_service_name(name.c_str());
        name = alt;
        avahi_free(alt);
        std::cerr << "[sim] name taken on the network; announcing as \"" << name << "\"" << std::endl;
        avahi_entry_group_reset(group);
        Publish();
    }

    static void GroupEvent(AvahiEntryGroup*, AvahiEntryGroupState state, void* data)
    {
        auto* self = static_cast<Impl*>(data);
        if (state == AVAHI_ENTRY_GROUP_COLLISION)
            self->Rename();
        else if (state == AVAHI_ENTRY_GROUP_ESTABLISHED)
            std::cerr << "[sim] announced as \"" << self->name << "\" (_pdl-datastream._tcp port " << self->port << ")"
                      << std::endl;
    }

    static void ClientEvent(AvahiClient* c, AvahiClientState state, void* data)
    {
        auto* self = static_cast<Impl*>(data);
        self->client = c;  // the first call comes before avahi_client_new returns
        if (state == AVAHI_CLIENT_S_RUNNING)
            self->Publish();
        else if (state == AVAHI_CLIENT_S_COLLISION || state == AVAHI_CLIENT_S_REGISTERING) {
            if (self->group) avahi_entry_group_reset(self->group);
        }
    }
};

Advertiser::Advertiser() : m(std::make_unique<Impl>()) {}
Advertiser::~Advertiser() { Stop(); }

bool Advertiser::Start(const std::string& name, std::uint16_t port, std::string& err)
{
    m->name = name;
    m->port = port;
    m->poll = avahi_threaded_poll_new();
    if (!m->poll) {
        err = "out of memory";
        return false;
    }
    int error = 0;
    m->client =
        avahi_client_new(avahi_threaded_poll_get(m->poll), AvahiClientFlags(0), Impl::ClientEvent, m.get(), &error);
    if (!m->client) {
        err = std::string("no Avahi daemon to announce through (") + avahi_strerror(error) + ")";
        Stop();
        return false;
    }
    if (avahi_threaded_poll_start(m->poll) < 0) {
        err = "cannot start Avahi's event loop";
        Stop();
        return false;
    }
    return true;
}

void Advertiser::Stop()
{
    if (m->poll) avahi_threaded_poll_stop(m->poll);
    if (m->client) avahi_client_free(m->client);  // withdraws the announcement
    m->client = nullptr;
    m->group = nullptr;
    if (m->poll) avahi_threaded_poll_free(m->poll);
    m->poll = nullptr;
}

}  // namespace qbxsim
