#include "platform/headless/virtual_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace qm::headless {
namespace {

// Which thread is calling: the platform's own threads carry their name,
// every other thread is the driver.
thread_local bool t_platform_thread = false;
// A plain pointer (to the name the thread's body holds): thread_local objects
// with destructors have crashed at thread exit with mingw's threads.
thread_local const char* t_thread_name = "driver";

}  // namespace

void VirtualClock::EnterPlatformThread(const char* name) {
  t_platform_thread = true;
  t_thread_name = name;
}

bool VirtualClock::OnPlatformThread() { return t_platform_thread; }

const char* VirtualClock::ThreadName() { return t_thread_name; }

bool VirtualClock::Block(Lock& lock, Waiter& waiter, std::stop_token stop) {
  if (!t_platform_thread) {
    // Nobody would ever move the clock or answer for the driver itself.
    std::fprintf(stderr, "headless platform: blocking call on the driving thread\n");
    std::abort();
  }
  --running_;
  changed_.notify_all();
  // Stops arrive through NotifyStop(), which wakes this wait; a stop
  // callback is not used (with some C++ libraries removing one that is
  // running on another thread can block for ever).
  changed_.wait(lock, [&] { return waiter.woken || stop.stop_requested(); });
  if (waiter.woken) return true;
  ++running_;  // ended by a stop: this thread runs on by itself
  return false;
}

void VirtualClock::Wake(Waiter& waiter) {
  if (waiter.woken) return;
  waiter.woken = true;
  ++running_;  // counted for the woken thread before it runs
  changed_.notify_all();
}

bool VirtualClock::Sleep(Lock& lock, std::chrono::milliseconds duration, std::stop_token stop) {
  if (stop.stop_requested()) return false;
  if (duration.count() <= 0) return true;
  Waiter waiter;
  const auto key = std::make_pair(now_ms_ + duration.count(), next_timer_++);
  timers_.emplace(key, &waiter);
  if (Block(lock, waiter, stop)) return true;
  timers_.erase(key);
  return false;
}

void VirtualClock::Settle(Lock& lock) {
  changed_.wait(lock, [&] { return running_ == 0; });
}

bool VirtualClock::WakeNextDue(std::int64_t until) {
  if (timers_.empty() || timers_.begin()->first.first > until) return false;
  const auto due = timers_.begin();
  now_ms_ = std::max(now_ms_, due->first.first);
  Waiter* waiter = due->second;
  timers_.erase(due);
  Wake(*waiter);
  return true;
}

void VirtualClock::Advance(Lock& lock, std::chrono::milliseconds duration) {
  const std::int64_t until = now_ms_ + duration.count();
  Settle(lock);
  while (WakeNextDue(until)) Settle(lock);
  now_ms_ = std::max(now_ms_, until);
}

bool VirtualClock::RunUntil(Lock& lock, const std::function<bool()>& done,
                            std::chrono::milliseconds limit) {
  const std::int64_t until = now_ms_ + limit.count();
  for (;;) {
    Settle(lock);
    lock.unlock();
    const bool reached = done();
    lock.lock();
    if (reached) return true;
    if (!WakeNextDue(until)) {
      now_ms_ = std::max(now_ms_, until);
      return false;
    }
  }
}

}  // namespace qm::headless
