#include "cli/Printers.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/PrinterLink.h"
#include "cli/Texts.h"
#include "platform/printer_finder.h"

#include <algorithm>
#include <chrono>

namespace {

std::string Where(unsigned sources)
{
    const bool network = (sources & kFoundOnNetwork) != 0, here = (sources & kInstalledHere) != 0;
    if (network && here) return Tr("quillbox-cli printers", "network, this computer");
    if (network) return Tr("quillbox-cli printers", "network");
    if (here) return Tr("quillbox-cli printers", "this computer");
    return {};
}

}  // namespace

void PrintPrintersText(std::FILE* out, const std::vector<PrinterLine>& lines)
{
    // Column headings of the printers list.
    const std::string name = Tr("quillbox-cli printers", "NAME"), model = Tr("quillbox-cli printers", "MODEL"),
                      address = Tr("quillbox-cli printers", "ADDRESS");
    // Widths in characters, so a name or heading with accents keeps its column.
    std::size_t wName = TextColumns(name), wModel = TextColumns(model), wAddress = TextColumns(address);
    for (const PrinterLine& l : lines) {
        wName = std::max(wName, TextColumns(Shown(l.name)));
        wModel = std::max(wModel, TextColumns(Shown(l.model)));
        wAddress = std::max(wAddress, TextColumns(PrinterAddressText(l)));
    }
    auto row = [&](const std::string& n, const std::string& m, const std::string& a, const std::string& w) {
        std::fprintf(out, "%s  %s  %s  %s\n", PadRight(n, wName).c_str(), PadRight(m, wModel).c_str(),
                     PadRight(a, wAddress).c_str(), w.c_str());
    };
    row(name, model, address, Tr("quillbox-cli printers", "FOUND"));
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
        std::fputs(Tr("quillbox-cli printers",
                      "quillbox-cli: no printers found on the network or installed on this computer; give the "
                      "printer's address with --printer HOST:PORT\n"),
                   stderr);
    return g_nStopSignal != 0 ? 128 + g_nStopSignal : QBX_EXIT_OK;
}

bool LooksLikeServiceName(const std::string& text)
{
    return text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_:[]%") !=
           std::string::npos;
}
