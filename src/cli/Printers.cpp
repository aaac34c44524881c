#include "cli/Printers.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/PrinterLink.h"
#include "platform/printer_finder.h"

#include <algorithm>
#include <chrono>

namespace {

std::string Where(unsigned sources)
{
    std::string w;
    if (sources & kFoundOnNetwork) w = "network";
    if (sources & kInstalledHere) w += w.empty() ? "this computer" : ", this computer";
    return w;
}

}  // namespace

void PrintPrintersText(std::FILE* out, const std::vector<PrinterLine>& lines)
{
    std::size_t wName = 4, wModel = 5, wAddress = 7;
    for (const PrinterLine& l : lines) {
        wName = std::max(wName, Shown(l.name).size());
        wModel = std::max(wModel, Shown(l.model).size());
        wAddress = std::max(wAddress, PrinterAddressText(l).size());
    }
    auto row = [&](const std::string& n, const std::string& m, const std::string& a, const std::string& w) {
        std::fprintf(out, "%-*s  %-*s  %-*s  %s\n", static_cast<int>(wName), n.c_str(), static_cast<int>(wModel),
                     m.c_str(), static_cast<int>(wAddress), a.c_str(), w.c_str());
    };
    row("NAME", "MODEL", "ADDRESS", "FOUND");
    for (const PrinterLine& l : lines) row(Shown(l.name), Shown(l.model), PrinterAddressText(l), Where(l.sources));
}

void PrintPrintersJson(std::FILE* out, const std::vector<PrinterLine>& lines)
{
    std::fprintf(out, "[");
    bool first = true;
    for (const PrinterLine& l : lines) {
        std::string found;
        if (l.sources & kFoundOnNetwork) found = "\"network\"";
        if (l.sources & kInstalledHere) found += found.empty() ? "\"installed\"" : ",\"installed\"";
        std::fprintf(out,
                     "%s\n{\"name\":%s,\"model\":%s,\"address\":%s,\"port\":%d,\"found\":[%s],\"service\":%s,"
                     "\"uuid\":%s,\"location\":%s}",
                     first ? "" : ",", JsonString(l.name).c_str(), JsonString(l.model).c_str(),
                     JsonString(l.address).c_str(), l.port, found.c_str(),
                     l.serviceName.empty() ? "null" : JsonString(l.serviceName).c_str(),
                     l.uuid.empty() ? "null" : JsonString(l.uuid).c_str(), JsonString(l.location).c_str());
        first = false;
    }
    std::fprintf(out, "%s]\n", first ? "" : "\n");
}

int RunPrinters(int waitSeconds, bool json)
{
    using Clock = std::chrono::steady_clock;
    CPrinterFinder finder;
    CPrinterList list;
    finder.Start(nullptr);
    const auto end = Clock::now() + std::chrono::seconds(waitSeconds > 0 ? waitSeconds : kDefaultPrinterWait);
    for (;;) {
        for (const PrinterAnswer& a : finder.Take()) list.Apply(a);
        if (g_nStopSignal != 0) break;
        if (waitSeconds <= 0 && finder.Finished()) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        // In slices, so a stop signal is seen soon.
        finder.WaitForNews(static_cast<int>(std::min<long long>(left, 200)));
    }
    finder.Stop();
    for (const PrinterAnswer& a : finder.Take()) list.Apply(a);
    if (json)
        PrintPrintersJson(stdout, list.Lines());
    else if (!list.Lines().empty())
        PrintPrintersText(stdout, list.Lines());
    if (list.Lines().empty())
        std::fprintf(stderr, "quillbox-cli: no printers found on the network or installed on this computer; give "
                             "the printer's address with --printer HOST:PORT\n");
    return g_nStopSignal != 0 ? 128 + g_nStopSignal : QBX_EXIT_OK;
}

bool LooksLikeServiceName(const std::string& text)
{
    return text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_:[]%") !=
           std::string::npos;
}
