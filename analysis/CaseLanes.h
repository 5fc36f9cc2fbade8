// The analysis's threads: a worker that runs one job at a time, and the lanes that run the cases
// of a pass side by side.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct CaseRun;

// A thread that runs one job at a time for a pass.
class CCaseWorker {
public:
    CCaseWorker();
    ~CCaseWorker();
    CCaseWorker(const CCaseWorker&) = delete;
    CCaseWorker& operator=(const CCaseWorker&) = delete;

    // Runs job on the worker; Wait() returns once it has finished.
    void Start(std::function<void()> job);
    void Wait();

private:
    void Serve();

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<void()> m_job;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread;  // last: it starts serving once the rest is ready
};

// The cases of a pass on as many threads as there are processors (the calling thread one of
// them): they share nothing but the input block, so they run side by side, each in the order
// of its frames, with the same results as one after the other.
class CCaseLanes {
public:
    explicit CCaseLanes(size_t cases);

    // Every case through `feed`, each lane taking the next case not yet taken, in the order
    // given (the costliest first balances the lanes best).
    template <typename Feeder>
    void FeedAll(const std::vector<CaseRun*>& runs, Feeder feed) {
        std::atomic<size_t> next{0};
        auto lane = [&runs, &feed, &next] {
            for (size_t i = next++; i < runs.size(); i = next++) feed(*runs[i]);
        };
        for (const std::unique_ptr<CCaseWorker>& worker : m_workers) worker->Start(lane);
        lane();
        for (const std::unique_ptr<CCaseWorker>& worker : m_workers) worker->Wait();
    }

private:
    std::vector<std::unique_ptr<CCaseWorker>> m_workers;
};
