// The calling thread and threads - 1 workers run one job at a time, each with its own index; Run returns when all
// are done. The workers take the calling thread's floating-point environment (precision and rounding of the
// extended arithmetic), so that an orbit computes alike on every thread.
//
// A round hands out a job every millisecond or so, and waking a sleeping thread can take a good part of that: a
// thread waiting for the next job, or for the others to finish one, first watches for it for a while (kSpinTime,
// a tenth of a millisecond; not when there are more threads than cores), and only then sleeps.
#pragma once

#include <atomic>
#include <cfenv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TWorkerTeam {
 public:
  using TJob = std::function<void(int thread)>;

  explicit TWorkerTeam(int threads);
  ~TWorkerTeam() { Stop(); }
  TWorkerTeam(const TWorkerTeam&) = delete;
  TWorkerTeam& operator=(const TWorkerTeam&) = delete;

  int Threads() const { return threads_; }
  // Runs job(t) on thread t of the team for every t, the calling thread's 0; rethrows the first exception a job
  // raised once all are done.
  void Run(const TJob& job);

 private:
  static constexpr std::chrono::microseconds kSpinTime{100};

  // Watches for `ready` for up to kSpinTime (when the team watches at all); its last answer.
  template <class TReady>
  bool SpinUntil(TReady ready) const;
  void Work(int thread);
  void Stop();

  const int threads_;
  const bool spin_;
  std::fenv_t environment_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;  // for sleeping and waking, and for error_
  std::condition_variable wake_, done_;
  std::atomic<std::uint64_t> generation_{0};  // one more for every job handed out
  std::atomic<int> running_{0};               // workers still at the job
  std::atomic<bool> stop_{false};
  const TJob* job_ = nullptr;  // written before generation_ moves on, read after
  std::exception_ptr error_;
};
