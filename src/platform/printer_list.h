// Printers found on the network and on this computer: what one answer says, how the
// answers of every source become one list, and the small readers they need (a DNS-SD
// TXT record, a queue's device URI). Pure: no threads, no sockets, standard types only,
// so the Windows twin of the finder includes it beside <windows.h>.
//
// Contract:
// - ParseTxtRecord reads the wire form of a TXT record (a run of strings, each after
//   its length byte). A length that runs past the end ends the reading; what was read
//   before stays. Keys compare without regard to letter case; the first occurrence of
//   a key counts, later ones are ignored; a string without "=" is a key with no value;
//   an empty key is ignored. Control bytes in values become "?", so nothing a printer
//   announces can break a line of the list. product loses its surrounding parentheses,
//   UUID its "urn:uuid:" prefix and its letter case.
// - ParseDeviceUri takes socket://, ipp://, ipps:// and lpd:// URIs (with user info, a
//   port, a path, and [IPv6] literals) and gives the host and the raw port: the URI's
//   own port for socket:// (9100 when it names none), 9100 for the others. Every other
//   scheme, an empty host or a bad port gives false.
// - CPrinterList keeps every answer it was given and makes the lines from them, in the
//   order their first answer came. A line comes from a raw-port service
//   (_pdl-datastream._tcp) or from an installed queue; _printer._tcp and _ipp._tcp
//   answers only name a line better (the same UUID, else the same host name) and never
//   make one. Answers are one line when they have the same UUID, else (both from the
//   network) the same service name, else the same address and port where one of them
//   has no UUID. Apply returns true when the lines changed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The keys of a printer's TXT record that the list uses.
struct PrinterTxt {
    std::string ty;        // the model as the user knows it
    std::string product;   // the PostScript product name, without its parentheses
    std::string note;      // where the printer stands
    std::string pdl;       // the page description languages it takes (MIME types)
    std::string uuid;      // lower case, without "urn:uuid:"
    std::string adminurl;  // its web page
    std::string usbMdl;    // the model as its USB id names it
};

PrinterTxt ParseTxtRecord(const unsigned char* data, std::size_t size);
// One "key=value" string of a record (as Avahi's string lists give them); keys already
// set stay as they are.
void AddTxtEntry(PrinterTxt& txt, std::string_view entry);
// One key and its value (as the Windows browse gives them).
void AddTxtPair(PrinterTxt& txt, std::string_view key, std::string_view value);

bool ParseDeviceUri(std::string_view uri, std::string& host, int& port);

// The services browsed for. Only the first gives a line of its own.
constexpr const char* kRawPrinterService = "_pdl-datastream._tcp";
constexpr const char* kLpdPrinterService = "_printer._tcp";
constexpr const char* kIppPrinterService = "_ipp._tcp";

enum PrinterSource : unsigned { kFoundOnNetwork = 1, kInstalledHere = 2 };

// One answer of one source.
struct PrinterAnswer {
    enum class Kind { Added, Removed } kind = Kind::Added;
    PrinterSource source = kFoundOnNetwork;
    std::string serviceName;  // the DNS-SD instance name, or the queue's name
    std::string serviceType;  // one of the services above; empty for a queue
    std::string domain;       // "local" mostly; empty for a queue
    int interfaceIndex = 0;   // the same service may answer on several interfaces
    std::string hostName;     // "office-laser.local"; for a queue, the host of its URI
    std::string address;      // what to connect to: a numeric address, or a host name
    int port = 0;
    PrinterTxt txt;
    std::string model;     // a queue's make and model
    std::string location;  // a queue's location
};

// One line of the list: one printer.
struct PrinterLine {
    std::string name;     // what the user calls it
    std::string model;    // may be empty
    std::string address;  // with port: what the main dialog's fields take
    int port = 0;
    unsigned sources = 0;     // kFoundOnNetwork | kInstalledHere
    std::string serviceName;  // the raw-port service's name; empty when not on the network
    std::string uuid;         // may be empty
    std::string location;     // the TXT note, or the queue's location
};

class CPrinterList {
public:
    bool Apply(const PrinterAnswer& answer);
    const std::vector<PrinterLine>& Lines() const { return m_lines; }

private:
    void Rebuild();
    std::vector<PrinterAnswer> m_answers;  // in order of arrival
    std::vector<PrinterLine> m_lines;
};

// "192.168.1.40:9100", or "[fe80::1]:9100" for an IPv6 address.
std::string PrinterAddressText(const PrinterLine& line);
