// Carries platform calls made on other threads to a toolkit's main thread,
// for backends whose toolkit may only be used there (GTK, Win32).
//
// Calls are queued in call order; calls that return a value wait for the
// main thread's answer. A status-field write that follows a write of the
// same field in the queue replaces it: only the latest text would be seen,
// so a per-line progress counter cannot flood the main thread. The backend
// says how to get Drain() called on its main thread soon (an idle source, a
// posted message); on the main thread itself every call runs at once.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/platform.h"

namespace qm {

class MainThreadCalls {
 public:
  // Asks for Drain() on the main thread; false when that cannot be arranged.
  using Schedule = std::function<bool()>;
  using ApplyField = std::function<void(ControlId, int, std::u16string_view, FieldAlign)>;

  // Constructed on the main thread.
  MainThreadCalls(Schedule schedule, ApplyField apply_field)
      : schedule_(std::move(schedule)), apply_field_(std::move(apply_field)) {}

  bool OnMain() const { return std::this_thread::get_id() == main_thread_; }

  void Run(std::function<void()> run) {
    if (OnMain()) {
      run();
      return;
    }
    Task task;
    task.run = std::move(run);
    std::lock_guard lock(mutex_);
    EnqueueLocked(std::move(task));
  }

  template <typename R>
  R Call(std::function<R()> call) {
    if (OnMain()) return call();
    struct Reply {
      std::mutex mutex;
      std::condition_variable cv;
      std::optional<R> value;
    };
    auto answer = std::make_shared<Reply>();
    Run([answer, call = std::move(call)] {
      R value = call();
      std::lock_guard lock(answer->mutex);
      answer->value = std::move(value);
      answer->cv.notify_all();
    });
    std::unique_lock lock(answer->mutex);
    answer->cv.wait(lock, [&] { return answer->value.has_value(); });
    return std::move(*answer->value);
  }

  void SetField(ControlId bar, int field, std::u16string_view text, FieldAlign align) {
    if (OnMain()) {
      apply_field_(bar, field, text, align);
      return;
    }
    std::lock_guard lock(mutex_);
    if (!queue_.empty() && queue_.back().field == field && queue_.back().bar == bar) {
      queue_.back().text = text;
      queue_.back().align = align;
      return;
    }
    Task task;
    task.field = field;
    task.bar = bar;
    task.text = text;
    task.align = align;
    EnqueueLocked(std::move(task));
  }

  // On the main thread: runs up to `limit` queued calls. Returns true when
  // more are waiting; the backend then comes back for them after letting
  // its own events through (the queue counts as still scheduled).
  bool Drain(int limit) {
    for (int done = 0; done < limit; ++done) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) {
          scheduled_ = false;
          return false;
        }
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      if (task.field >= 0) {
        apply_field_(task.bar, task.field, task.text, task.align);
      } else {
        task.run();
      }
    }
    return true;
  }

 private:
  struct Task {
    std::function<void()> run;
    int field = -1;  // a status field write when >= 0
    ControlId bar = kNoControl;
    std::u16string text;
    FieldAlign align = FieldAlign::Left;
  };

  void EnqueueLocked(Task task) {
    queue_.push_back(std::move(task));
    if (!scheduled_) scheduled_ = schedule_();
  }

  const std::thread::id main_thread_ = std::this_thread::get_id();
  Schedule schedule_;
  ApplyField apply_field_;
  std::mutex mutex_;
  std::deque<Task> queue_;
  bool scheduled_ = false;
};

}  // namespace qm
