// The analysis's worker threads and lanes.
#include "analysis/CaseLanes.h"

#include <algorithm>

CCaseWorker::CCaseWorker() : m_thread([this] { Serve(); }) {}

CCaseWorker::~CCaseWorker() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CCaseWorker::Start(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_job = std::move(job);
        m_busy = true;
    }
    m_changed.notify_all();
}

void CCaseWorker::Wait() {
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [this] { return !m_busy; });
}

void CCaseWorker::Serve() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_changed.wait(hold, [this] { return m_busy || m_quit; });
        if (!m_busy) return;
        hold.unlock();
        m_job();
        hold.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

CCaseLanes::CCaseLanes(size_t cases) {
    const size_t processors = std::max(1u, std::thread::hardware_concurrency());
    const size_t lanes = std::max<size_t>(1, std::min(cases, processors));
    for (size_t i = 1; i < lanes; ++i) m_workers.emplace_back(new CCaseWorker());
}
