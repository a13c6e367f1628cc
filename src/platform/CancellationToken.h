#pragma once

#include <atomic>
#include <exception>
#include <memory>

namespace orvalink::platform {

// A flag shared between whoever starts a long walk and the walk itself. Copies share one flag, so the
// caller keeps a copy and cancels while the walk (on another thread) polls. A default token is never
// cancelled.
class CancellationToken {
public:
    CancellationToken() = default;
    // A token that can be cancelled.
    static CancellationToken create()
    {
        return CancellationToken(std::make_shared<std::atomic<bool>>(false));
    }

    void cancel() const
    {
        if (m_flag)
            m_flag->store(true, std::memory_order_relaxed);
    }
    bool isCancelled() const { return m_flag && m_flag->load(std::memory_order_relaxed); }

private:
    explicit CancellationToken(std::shared_ptr<std::atomic<bool>> flag) : m_flag(std::move(flag)) {}
    std::shared_ptr<std::atomic<bool>> m_flag;
};

// Thrown by a walk that noticed its token was cancelled. Its partial results are dropped: a total that
// stopped halfway must never be taken for the size of a tree.
class WalkCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "The walk was cancelled."; }
};

} // namespace orvalink::platform
