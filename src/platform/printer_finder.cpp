#include "platform/printer_finder.h"

#include <chrono>

namespace {
PrinterSourcesFactory& SourcesFactory()
{
    static PrinterSourcesFactory factory;
    return factory;
}
}  // namespace

void SetPrinterSourcesFactory(PrinterSourcesFactory factory) { SourcesFactory() = std::move(factory); }

void CPrinterInbox::Notify()
{
    ++m_news;
    m_changed.notify_all();
}

void CPrinterInbox::Add(PrinterAnswer answer)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers.push_back(std::move(answer));
        Notify();
    }
    if (m_onNews) m_onNews();
}

void CPrinterInbox::SourceDone()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pendingSources > 0) --m_pendingSources;
        Notify();
    }
    if (m_onNews) m_onNews();
}

void CPrinterInbox::ExpectSources(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pendingSources += count;
}

std::vector<PrinterAnswer> CPrinterInbox::Take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<PrinterAnswer> out;
    out.swap(m_answers);
    return out;
}

bool CPrinterInbox::Finished() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pendingSources == 0;
}

void CPrinterInbox::WaitForNews(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const unsigned seen = m_news;
    if (!m_answers.empty()) return;
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_news != seen; });
}

void CPrinterFinder::Start(std::function<void()> onNews)
{
    if (m_inbox) return;
    m_inbox = std::make_unique<CPrinterInbox>(std::move(onNews));
    m_sources = SourcesFactory() ? SourcesFactory()(*m_inbox) : StartPrinterSources(*m_inbox);
}

void CPrinterFinder::Stop()
{
    if (m_sources) m_sources->Stop();
    m_sources.reset();
}

std::vector<PrinterAnswer> CPrinterFinder::Take() { return m_inbox ? m_inbox->Take() : std::vector<PrinterAnswer>{}; }

bool CPrinterFinder::Finished() const { return !m_inbox || m_inbox->Finished(); }

void CPrinterFinder::WaitForNews(int timeoutMs)
{
    if (m_inbox) m_inbox->WaitForNews(timeoutMs);
}

bool FindPrinterByName(const std::string& serviceName, const std::string& uuid, int waitMs, PrinterLine& line)
{
    CPrinterFinder finder;
    CPrinterList list;
    finder.Start(nullptr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto found = [&] {
        for (const PrinterAnswer& a : finder.Take()) list.Apply(a);
        for (const PrinterLine& l : list.Lines()) {
            // The UUID finds a printer that was renamed; the name one that lost its UUID.
            if (!l.serviceName.empty() && ((!uuid.empty() && l.uuid == uuid) || l.serviceName == serviceName)) {
                line = l;
                return true;
            }
        }
        return false;
    };
    for (;;) {
        // Finished is read before the answers are taken, so the last ones are looked at.
        const bool finished = finder.Finished();
        if (found()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (finished || left.count() <= 0) return false;
        finder.WaitForNews(static_cast<int>(left.count()));
    }
}
