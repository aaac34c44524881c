#include "platform/printer_list.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool SameText(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

// Nothing a printer sends may break a line or a JSON string: control bytes become "?".
std::string Printable(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return out;
}

void SetOnce(std::string& field, std::string_view value)
{
    if (field.empty()) field = Printable(value);
}

// A host name without its trailing dot, in lower case, for comparing.
std::string HostKey(std::string_view host)
{
    std::string h = Lower(host);
    while (!h.empty() && h.back() == '.') h.pop_back();
    return h;
}

}  // namespace

void AddTxtPair(PrinterTxt& txt, std::string_view key, std::string_view value)
{
    if (key.empty()) return;
    const std::string k = Lower(key);
    if (k == "ty") {
        SetOnce(txt.ty, value);
    } else if (k == "product") {
        if (!txt.product.empty()) return;
        if (value.size() >= 2 && value.front() == '(' && value.back() == ')') value = value.substr(1, value.size() - 2);
        // An empty product stays empty, so a later key of the same name cannot count.
        txt.product = Printable(value);
    } else if (k == "note") {
        SetOnce(txt.note, value);
    } else if (k == "pdl") {
        SetOnce(txt.pdl, value);
    } else if (k == "uuid") {
        if (!txt.uuid.empty()) return;
        std::string u = Lower(value);
        if (u.rfind("urn:uuid:", 0) == 0) u.erase(0, 9);
        txt.uuid = Printable(u);
    } else if (k == "adminurl") {
        SetOnce(txt.adminurl, value);
    } else if (k == "usb_mdl") {
        SetOnce(txt.usbMdl, value);
    }
}

void AddTxtEntry(PrinterTxt& txt, std::string_view entry)
{
    const auto eq = entry.find('=');
    if (eq == std::string_view::npos)
        AddTxtPair(txt, entry, {});
    else
        AddTxtPair(txt, entry.substr(0, eq), entry.substr(eq + 1));
}

PrinterTxt ParseTxtRecord(const unsigned char* data, std::size_t size)
{
    PrinterTxt txt;
    // The first occurrence of a key counts: a key seen once, even without a value or with
    // an empty one, is not taken again.
    std::vector<std::string> seen;
    std::size_t at = 0;
    while (data && at < size) {
        const std::size_t len = data[at++];
        if (len > size - at) break;
        std::string_view entry(reinterpret_cast<const char*>(data + at), len);
        at += len;
        const auto eq = entry.find('=');
        const std::string key = Lower(entry.substr(0, eq));
        if (key.empty() || std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
        seen.push_back(key);
        AddTxtEntry(txt, entry);
    }
    return txt;
}

bool ParseDeviceUri(std::string_view uri, std::string& host, int& port)
{
    const auto colon = uri.find("://");
    if (colon == std::string_view::npos) return false;
    const std::string scheme = Lower(uri.substr(0, colon));
    const bool raw = scheme == "socket";
    if (!raw && scheme != "ipp" && scheme != "ipps" && scheme != "lpd") return false;
    std::string_view rest = uri.substr(colon + 3);
    rest = rest.substr(0, std::min(rest.find('/'), rest.find('?')));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
    std::string_view h, p;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) return false;
        h = rest.substr(1, close - 1);
        std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return false;
            p = after.substr(1);
        }
    } else {
        const auto c = rest.find(':');
        h = rest.substr(0, c);
        if (c != std::string_view::npos) p = rest.substr(c + 1);
    }
    if (h.empty()) return false;
    int n = 9100;
    if (raw && !p.empty()) {
        if (p.size() > 5 || p.find_first_not_of("0123456789") != std::string_view::npos) return false;
        n = std::stoi(std::string(p));
        if (n < 1 || n > 65535) return false;
    }
    host = Printable(h);
    port = n;
    return true;
}

bool CPrinterList::Apply(const PrinterAnswer& answer)
{
    auto same = [&](const PrinterAnswer& a) {
        return a.source == answer.source && a.serviceName == answer.serviceName &&
               a.serviceType == answer.serviceType && SameText(a.domain, answer.domain) &&
               a.interfaceIndex == answer.interfaceIndex;
    };
    const std::vector<PrinterLine> before = m_lines;
    std::erase_if(m_answers, same);
    if (answer.kind == PrinterAnswer::Kind::Added) m_answers.push_back(answer);
    Rebuild();
    auto sameLine = [](const PrinterLine& a, const PrinterLine& b) {
        return a.name == b.name && a.model == b.model && a.address == b.address && a.port == b.port &&
               a.sources == b.sources && a.serviceName == b.serviceName && a.uuid == b.uuid && a.location == b.location;
    };
    return !std::equal(before.begin(), before.end(), m_lines.begin(), m_lines.end(), sameLine);
}

void CPrinterList::Rebuild()
{
    struct Line {
        PrinterLine line;
        std::string host;  // the network answer's host name, for its companions
        bool named = false;
    };
    std::vector<Line> lines;
    for (const PrinterAnswer& a : m_answers) {
        const bool network = a.source == kFoundOnNetwork;
        if (network && a.serviceType != kRawPrinterService) continue;
        if (a.address.empty() || a.port <= 0) continue;
        auto match = std::find_if(lines.begin(), lines.end(), [&](const Line& l) {
            const PrinterLine& p = l.line;
            if (!p.uuid.empty() && !a.txt.uuid.empty()) return p.uuid == a.txt.uuid;
            if (network && !p.serviceName.empty()) return p.serviceName == a.serviceName;
            return SameText(p.address, a.address) && p.port == a.port;
        });
        if (match == lines.end()) {
            lines.push_back({});
            match = lines.end() - 1;
            match->line.address = a.address;
            match->line.port = a.port;
        }
        PrinterLine& p = match->line;
        p.sources |= a.source;
        SetOnce(p.uuid, a.txt.uuid);
        SetOnce(p.location, network ? a.txt.note : a.location);
        if (network) {
            // The network's own name and address win over a queue's: they are what the
            // printer says of itself now.
            if (p.serviceName.empty()) {
                p.serviceName = Printable(a.serviceName);
                p.name = p.serviceName;
                p.address = a.address;
                p.port = a.port;
                match->host = HostKey(a.hostName);
            }
            SetOnce(p.model, !a.txt.ty.empty() ? a.txt.ty : !a.txt.product.empty() ? a.txt.product : a.txt.usbMdl);
        } else {
            SetOnce(p.name, a.serviceName);
            SetOnce(p.model, a.model);
        }
    }
    // The printer's other services name it better: the IPP one first (the name the
    // computer's own printing shows), then LPD. They fill only what is missing, except
    // the name, which they give.
    for (const char* type : {kIppPrinterService, kLpdPrinterService}) {
        for (Line& l : lines) {
            if (l.named || l.line.serviceName.empty()) continue;
            for (const PrinterAnswer& a : m_answers) {
                if (a.source != kFoundOnNetwork || a.serviceType != type) continue;
                const bool byUuid = !l.line.uuid.empty() && !a.txt.uuid.empty();
                if (byUuid ? l.line.uuid != a.txt.uuid : (l.host.empty() || l.host != HostKey(a.hostName))) continue;
                if (!a.serviceName.empty()) {
                    l.line.name = Printable(a.serviceName);
                    l.named = true;
                }
                SetOnce(l.line.model, !a.txt.ty.empty() ? a.txt.ty : a.txt.product);
                SetOnce(l.line.location, a.txt.note);
                SetOnce(l.line.uuid, a.txt.uuid);
                break;
            }
        }
    }
    m_lines.clear();
    for (Line& l : lines) m_lines.push_back(std::move(l.line));
}

std::string PrinterAddressText(const PrinterLine& line)
{
    const bool v6 = line.address.find(':') != std::string::npos;
    return (v6 ? "[" + line.address + "]" : line.address) + ":" + std::to_string(line.port);
}
