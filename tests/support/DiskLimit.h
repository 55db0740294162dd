#pragma once
#include <csignal>
#include <sys/resource.h>

// While it lives, no file of this process may grow past `bytes`: writes beyond fail as on a full
// disk (EFBIG instead of SIGXFSZ, which is ignored meanwhile). The kernel does it, not a mock.
class DiskLimit final {
public:
    explicit DiskLimit(rlim_t bytes)
    {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    // Whether the limit took effect.
    bool set() const { return m_set; }
    ~DiskLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    DiskLimit(const DiskLimit&) = delete;
    DiskLimit& operator=(const DiskLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
    bool m_set = false;
};
