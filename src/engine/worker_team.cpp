#include "engine/worker_team.h"

TWorkerTeam::TWorkerTeam(int threads)
    : threads_(threads),
      // More threads than cores: a watching thread would only keep a working one from its core.
      spin_(static_cast<unsigned>(threads) <= std::thread::hardware_concurrency()) {
  std::fegetenv(&environment_);
  workers_.reserve(static_cast<std::size_t>(threads - 1));
  try {
    for (int t = 1; t < threads; ++t) workers_.emplace_back([this, t] { Work(t); });
  } catch (...) {
    Stop();
    throw;
  }
}

template <class TReady>
bool TWorkerTeam::SpinUntil(TReady ready) const {
  if (!spin_) return ready();
  const auto until = std::chrono::steady_clock::now() + kSpinTime;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
    }
    if (std::chrono::steady_clock::now() >= until) return ready();
  }
}

void TWorkerTeam::Run(const TJob& job) {
  if (workers_.empty()) {
    job(0);
    return;
  }
  job_ = &job;
  error_ = nullptr;
  running_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
  {
    // Under the lock, so that a worker about to sleep cannot miss it.
    const std::lock_guard<std::mutex> lock(mutex_);
    generation_.fetch_add(1, std::memory_order_release);
  }
  wake_.notify_all();
  std::exception_ptr own;
  try {
    job(0);
  } catch (...) {
    own = std::current_exception();
  }
  if (!SpinUntil([&] { return running_.load(std::memory_order_acquire) == 0; })) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return running_.load(std::memory_order_acquire) == 0; });
  }
  job_ = nullptr;
  if (own) std::rethrow_exception(own);
  if (error_) std::rethrow_exception(error_);
}

void TWorkerTeam::Work(int thread) {
  std::fesetenv(&environment_);
  std::uint64_t seen = 0;
  for (;;) {
    const auto news = [&] {
      return stop_.load(std::memory_order_acquire) || generation_.load(std::memory_order_acquire) != seen;
    };
    if (!SpinUntil(news)) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, news);
    }
    if (stop_.load(std::memory_order_acquire)) return;
    seen = generation_.load(std::memory_order_acquire);
    std::exception_ptr error;
    try {
      (*job_)(thread);
    } catch (...) {
      error = std::current_exception();
    }
    if (error) {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = error;
    }
    if (running_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      // The last one: the calling thread may be asleep. Notified under the lock, so that it cannot miss it.
      const std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_one();
    }
  }
}

void TWorkerTeam::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true, std::memory_order_release);
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}
