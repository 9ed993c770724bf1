// The headless platform's clock and scheduler. Time is virtual: it moves
// only when the driving thread moves it. Every platform thread is either
// running or blocked in a wait; Settle() lets them run until all are
// blocked, and Advance()/RunUntil() then move the clock to the next
// deadline and wake that one wait, and settle again, one wait at a time. So
// a 10 s pause passes at once, and a session does the same things in the
// same order on every run.
//
// The clock shares the platform's mutex: every call is made with it held
// (the `Lock&` argument), so the clock and the platform's state change
// together.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <stop_token>
#include <utility>

namespace qm::headless {

class VirtualClock {
 public:
  using Lock = std::unique_lock<std::mutex>;
  // One blocked wait; woken by the clock (a deadline) or by the platform
  // (an answer, an event).
  struct Waiter {
    bool woken = false;
  };

  // The calling thread is one of the platform's from now on (its body).
  static void EnterPlatformThread(const char* name);
  static bool OnPlatformThread();
  // "driver" for any thread that is not the platform's.
  static const char* ThreadName();

  std::int64_t now() const { return now_ms_; }
  int live() const { return live_; }

  // A platform thread is counted as running from its start, so that no
  // Settle() slips in between the start and its first step.
  void ThreadStarting() {
    ++running_;
    ++live_;
  }
  void ThreadEnded() {
    --running_;
    --live_;
    changed_.notify_all();
  }
  // Wakes every blocked wait to look at its stop token again.
  void NotifyStop() { changed_.notify_all(); }

  // Blocks the calling platform thread until `waiter` is woken (true) or
  // `stop` is requested (false). Aborts on the driving thread, which nobody
  // would ever wake.
  bool Block(Lock& lock, Waiter& waiter, std::stop_token stop);
  void Wake(Waiter& waiter);
  // A timed wait on the virtual clock; false when a stop ended it.
  bool Sleep(Lock& lock, std::chrono::milliseconds duration, std::stop_token stop);

  void Settle(Lock& lock);
  void Advance(Lock& lock, std::chrono::milliseconds duration);
  // Settles, then moves the clock wait by wait until `done` holds (checked,
  // with the lock released, whenever every thread is blocked) or `limit`
  // has passed.
  bool RunUntil(Lock& lock, const std::function<bool()>& done, std::chrono::milliseconds limit);

 private:
  // Wakes the earliest wait due at or before `until`; false when none is.
  bool WakeNextDue(std::int64_t until);

  std::condition_variable_any changed_;
  std::int64_t now_ms_ = 0;
  std::uint64_t next_timer_ = 0;
  std::map<std::pair<std::int64_t, std::uint64_t>, Waiter*> timers_;
  int running_ = 0;  // platform threads not blocked in a wait
  int live_ = 0;
};

}  // namespace qm::headless
