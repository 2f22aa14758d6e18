#pragma once
// Runs jobs on worker threads and hands the results back in the order the jobs
// went in. The caller fills the next free slot, submits it and collects the
// oldest result; at most `depth` jobs are in flight, which bounds memory
// whatever the input size. With one thread there are no workers: a job runs
// inside submit().
//
// Job needs `void run(Worker &)`; each thread owns one Worker (a z_stream, a
// decompressor) so that jobs share no state.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace dz {

template <class Job, class Worker> class OrderedPool {
public:
    OrderedPool(unsigned threads, size_t depth) : jobs_(depth), done_(depth, false)
    {
        if (threads <= 1) {
            inlineWorker_.reset(new Worker);
            return;
        }
        for (unsigned i = 0; i < threads; ++i)
            threads_.emplace_back([this] { workLoop(); });
    }

    ~OrderedPool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread &t : threads_)
            t.join();
    }

    OrderedPool(const OrderedPool &) = delete;
    OrderedPool &operator=(const OrderedPool &) = delete;

    bool full() const { return submitted_ - collected_ == jobs_.size(); }
    bool empty() const { return submitted_ == collected_; }

    // The slot for the next submission; only valid while !full().
    Job &next() { return jobs_[submitted_ % jobs_.size()]; }

    void submit()
    {
        const size_t slot = submitted_ % jobs_.size();
        ++submitted_;
        if (inlineWorker_) {
            jobs_[slot].run(*inlineWorker_);
            done_[slot] = true;
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(slot);
        }
        wake_.notify_one();
    }

    // Waits for the oldest job and returns it; the caller uses it before it
    // calls next() again. Returns nullptr when `giveUp` says so while waiting.
    Job *collect(const std::function<bool()> &giveUp)
    {
        const size_t slot = collected_ % jobs_.size();
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_[slot]) {
            // A timed wait, so that an interrupt is noticed even if a job is slow.
            finished_.wait_for(lock, std::chrono::milliseconds(50));
            if (!done_[slot] && giveUp && giveUp())
                return nullptr;
        }
        done_[slot] = false;
        ++collected_;
        return &jobs_[slot];
    }

private:
    void workLoop()
    {
        Worker worker;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            const size_t slot = queue_.front();
            queue_.pop_front();
            lock.unlock();
            jobs_[slot].run(worker);
            lock.lock();
            done_[slot] = true;
            finished_.notify_all();
        }
    }

    std::vector<Job> jobs_;
    std::vector<bool> done_; // guarded by mutex_ when there are workers
    uint64_t submitted_ = 0;
    uint64_t collected_ = 0;

    std::unique_ptr<Worker> inlineWorker_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::deque<size_t> queue_;
    bool stopping_ = false;
};

} // namespace dz
