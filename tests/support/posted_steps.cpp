#include "posted_steps.h"

#include "app/QbxMessages.h"
#include "platform/clock.h"

#include <algorithm>
#include <sstream>

namespace {

std::string Join(const std::vector<std::string>& v)
{
    std::ostringstream o;
    for (const auto& s : v) o << "[" << s << "] ";
    return o.str();
}

}  // namespace

std::string StepName(const MSG& m)
{
    if (m.message == WM_QBX_IP_OP) {
        static const char* const kNames[] = {nullptr,  "DIR",        "GET",        "DEL",       "CONNECT",
                                             "CANCEL", "DIR_RESUME", "GET_RESUME", "DEL_RESUME"};
        constexpr WPARAM kKnown = sizeof kNames / sizeof kNames[0];
        if (m.wParam == static_cast<WPARAM>(QBX_CANCEL)) return "CANCEL " + std::to_string(m.lParam);
        if (m.wParam < kKnown && kNames[m.wParam]) return kNames[m.wParam];
        return "OP " + std::to_string(m.wParam);
    }
    if (m.message == WM_QBX_CANCEL_XFER) return "XFER " + std::to_string(m.lParam);
    return "MSG " + std::to_string(m.message);
}

PostedSteps::PostedSteps() { SetMessageObserver(this); }

PostedSteps::~PostedSteps() { SetMessageObserver(nullptr); }

void PostedSteps::OnPosted(const MSG& m)
{
    if (!recording) return;
    posted.push_back(m);
    postedAt.push_back(GetClock()->NowMs());
    if (m.message == WM_QBX_IP_OP || m.message == WM_QBX_CANCEL_XFER) steps.push_back(StepName(m));
}

void PostedSteps::OnDispatched(const MSG& m)
{
    if (m.message != WM_QBX_IP_OP) return;
    const int nth = ++dispatched[m.wParam];
    if (onStep) onStep(static_cast<int>(m.wParam), nth);
}

int PostedSteps::Count(int op) const
{
    return static_cast<int>(std::count_if(posted.begin(), posted.end(), [op](const MSG& m) {
        return m.message == WM_QBX_IP_OP && m.wParam == static_cast<WPARAM>(op);
    }));
}

int PostedSteps::Count(UINT message, LPARAM lParam) const
{
    return static_cast<int>(std::count_if(posted.begin(), posted.end(),
                                          [&](const MSG& m) { return m.message == message && m.lParam == lParam; }));
}

std::vector<std::int64_t> PostedSteps::TimesOf(int op) const
{
    std::vector<std::int64_t> out;
    for (std::size_t i = 0; i < posted.size(); ++i)
        if (posted[i].message == WM_QBX_IP_OP && posted[i].wParam == static_cast<WPARAM>(op))
            out.push_back(postedAt[i]);
    return out;
}

::testing::AssertionResult SameSteps(const std::vector<std::string>& got, const std::vector<std::string>& want)
{
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i) {
        if (got[i] != want[i])
            return ::testing::AssertionFailure() << "step " << i << ": got [" << got[i] << "], expected [" << want[i]
                                                 << "]\n  got:  " << Join(got) << "\n  want: " << Join(want);
    }
    if (got.size() != want.size())
        return ::testing::AssertionFailure() << got.size() << " steps, expected " << want.size()
                                             << "\n  got:  " << Join(got) << "\n  want: " << Join(want);
    return ::testing::AssertionSuccess();
}
