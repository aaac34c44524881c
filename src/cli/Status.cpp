// The status and summary lines.
#include "cli/Status.h"
#include "cli/Texts.h"

namespace {

IStatusLine* g_pStatus = nullptr;

}  // namespace

void CTerminalStatusLine::Show(const std::string& text)
{
    std::fprintf(m_out, "\r%s\033[K", text.c_str());
    std::fflush(m_out);
    m_shown = true;
}

void CTerminalStatusLine::Clear()
{
    if (!m_shown) return;
    std::fputs("\r\033[K", m_out);
    std::fflush(m_out);
    m_shown = false;
}

void SetCliStatus(IStatusLine* status) { g_pStatus = status; }

IStatusLine* CliStatus() { return g_pStatus; }

std::string ConnectingText(const PrinterTarget& target)
{
    return TrF("quillbox-cli, status", "Connecting to %s:%d\u2026", target.host.c_str(), target.port);
}

std::string WaitingText(int seconds)
{
    if (seconds >= 1) return TrF("quillbox-cli, status", "Waiting for the printer\u2026 %d s", seconds);
    return Tr("quillbox-cli, status", "Waiting for the printer\u2026");
}

void CWaitStatus::Connecting(const PrinterTarget& target)
{
    m_active = CliStatus() != nullptr;
    if (!m_active) return;
    m_waiting = false;
    m_start = QbxClock::now();
    CliStatus()->Show(ConnectingText(target));
}

void CWaitStatus::Waiting()
{
    m_active = CliStatus() != nullptr;
    if (!m_active) return;
    m_waiting = true;
    m_start = QbxClock::now();
    m_shownSeconds = 0;
    CliStatus()->Show(WaitingText(0));
}

void CWaitStatus::Tick()
{
    if (!m_active || !m_waiting || !CliStatus()) return;
    auto seconds =
        static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(QbxClock::now() - m_start).count());
    if (seconds == m_shownSeconds) return;
    m_shownSeconds = seconds;
    CliStatus()->Show(WaitingText(seconds));
}

void CWaitStatus::End()
{
    if (m_active && CliStatus()) CliStatus()->Clear();
    m_active = false;
    m_waiting = false;
}

std::string SummaryText(SummaryKind kind, const CliTally& t, const std::string& folder, bool deleting)
{
    std::string text;
    // The parts of the summary, each a whole phrase, in a list.
    // TRANSLATORS: what separates the parts of the summary line.
    auto add = [&text](const std::string& part) {
        text += (text.empty() ? "" : Tr("quillbox-cli, summary", ", ")) + part;
    };
    if (kind != SummaryKind::Delete) add(TrF("quillbox-cli, summary", "copied %d to %s", t.copied, folder.c_str()));
    if (deleting || kind == SummaryKind::Delete)
        add(TrF("quillbox-cli, summary", "deleted %d on the printer", t.deleted));
    if (kind == SummaryKind::Sync) add(TrF("quillbox-cli, summary", "%d already there", t.alreadyThere));
    add(TrF("quillbox-cli, summary", "%d failed", t.failed));
    return text;
}

void PrintSummary(int verbosity, bool terminal, SummaryKind kind, const CliTally& t, const std::string& folder,
                  bool deleting)
{
    if (verbosity < 0 || (!terminal && verbosity < 1)) return;
    if (CliStatus()) CliStatus()->Clear();
    std::fprintf(stderr, "%s\n", SummaryText(kind, t, folder, deleting).c_str());
    std::fflush(stderr);
}
