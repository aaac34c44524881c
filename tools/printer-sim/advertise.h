// The simulated printer's announcement on the local network: a _pdl-datastream._tcp
// service on its port with a TXT record like a real device's, published through the
// Avahi daemon. Without a daemon Start fails with a reason; the printer still serves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qbxsim {

class Advertiser {
public:
    Advertiser();
    ~Advertiser();
    Advertiser(const Advertiser&) = delete;
    Advertiser& operator=(const Advertiser&) = delete;

    // Publishes name (a free alternative such as "name #2" when another device has it)
    // for port. err says why when it returns false.
    bool Start(const std::string& name, std::uint16_t port, std::string& err);
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace qbxsim
