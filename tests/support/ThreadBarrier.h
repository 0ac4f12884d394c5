// A reusable barrier for a fixed number of threads, on a mutex and a condition variable; it
// serves as a latch too. std::barrier and std::latch are not used: the mingw-w64 runtime of
// GCC 12 waits on them without a native wait and can lose a wake-up, which leaves the threads
// waiting for good.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

class ThreadBarrier {
public:
    explicit ThreadBarrier(std::size_t threads) : m_threads(threads) {}
    ThreadBarrier(const ThreadBarrier&) = delete;
    ThreadBarrier& operator=(const ThreadBarrier&) = delete;

    // Returns once every thread has arrived in this phase.
    void arrive_and_wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const std::size_t phase = m_phase;
        if (++m_arrived == m_threads) {
            m_arrived = 0;
            ++m_phase;
            m_allArrived.notify_all();
            return;
        }
        m_allArrived.wait(lock, [&] { return m_phase != phase; });
    }

private:
    const std::size_t m_threads;
    std::mutex m_mutex;
    std::condition_variable m_allArrived;
    std::size_t m_arrived = 0;
    std::size_t m_phase = 0;
};
