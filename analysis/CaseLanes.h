// The analysis's threads: a worker that runs one job at a time, and the lanes that run the cases
// of a pass side by side.
#pragma once
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

    // Every case through `feed`. Case i runs on lane i, then back again (0 1 1 0 with two
    // lanes), so each lane gets an all-pass and a FIR case of the usual four.
    template <typename Feeder>
    void FeedAll(const std::vector<CaseRun*>& runs, Feeder feed) {
        const size_t lanes = m_workers.size() + 1;
        auto lane = [&runs, &feed, lanes](size_t which) {
            for (size_t i = 0; i < runs.size(); ++i) {
                const size_t turn = i % (2 * lanes);
                if ((turn < lanes ? turn : 2 * lanes - 1 - turn) == which) feed(*runs[i]);
            }
        };
        for (size_t i = 0; i < m_workers.size(); ++i)
            m_workers[i]->Start([&lane, i] { lane(i + 1); });
        lane(0);
        for (const std::unique_ptr<CCaseWorker>& worker : m_workers) worker->Wait();
    }

private:
    std::vector<std::unique_ptr<CCaseWorker>> m_workers;
};
