// The Windows sources of printers (to come: DNS-SD browsing and the spooler's ports).
#include "platform/printer_finder.h"

namespace {
class NoSources final : public IPrinterSources {
public:
    void Stop() override {}
};
}  // namespace

std::unique_ptr<IPrinterSources> StartPrinterSources(CPrinterInbox& inbox)
{
    (void)inbox;
    return std::make_unique<NoSources>();
}
