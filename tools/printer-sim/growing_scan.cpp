// A scan the printer is still writing: its file in the store grows page by page.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "printer_sim.h"

namespace qbxsim {

GrowingScan::GrowingScan(std::filesystem::path file, std::size_t pageBytes, std::chrono::milliseconds pause, int pages)
    : file_(std::move(file)), page_bytes_(pageBytes), pause_(pause), pages_(pages)
{
    thread_ = std::thread([this] { Run(); });
}

GrowingScan::~GrowingScan() { Stop(); }

void GrowingScan::Stop()
{
    {
        std::lock_guard lk(mu_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

int GrowingScan::PagesWritten() const { return written_.load(); }

bool GrowingScan::Finished() const { return finished_.load(); }

void GrowingScan::Run()
{
    for (int page = 0; pages_ <= 0 || page < pages_; ++page) {
        {
            std::unique_lock lk(mu_);
            if (cv_.wait_for(lk, pause_, [this] { return stop_; })) return;
        }
        // One page appended in one write, as the scanner's disk writes a page.
        const std::string bytes = PatternBytes(page_bytes_, static_cast<unsigned>(page + 7));
        const int fd = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) break;  // the file was deleted: the scan has nowhere to go
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) break;
            done += static_cast<std::size_t>(w);
        }
        ::close(fd);
        ++written_;
    }
    finished_ = true;
}

}  // namespace qbxsim
