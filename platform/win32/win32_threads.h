// Threads, stops and waits of the Win32 backend: threads whose stop is an
// event their waits wait on, the main thread's message pump while it joins
// one, and boxes of other threads ended by a stop.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <stop_token>
#include <thread>

#include "platform/platform.h"

namespace qm::win32 {

// A finer system timer while a wait is running, so that waits of tens of
// milliseconds last what they say.
class FineTimer {
 public:
  FineTimer() { ::timeBeginPeriod(1); }
  ~FineTimer() { ::timeEndPeriod(1); }
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;
};

// Runs every message that is waiting for the calling thread (through
// `dialog_window`'s dialog keys when it is given).
void PumpMessages(HWND dialog_window);

// How a stop reaches a thread started here: an event that its waits wait
// on. std::stop_callback is not used: with this toolchain's C++ library, a
// callback still running on the stopping thread while its owner removes it
// can leave the owner blocked for ever (seen under Wine about once in ten
// thousand stops), and a close must never hang.
struct StopSignal {
  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::stop_token token;  // the thread's own, set when it starts
  StopSignal() = default;
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;
  ~StopSignal() {
    if (event != nullptr) ::CloseHandle(event);
  }
};

// The stop signal of the thread running, while it runs.
extern thread_local StopSignal* t_stop_signal;

// The signal of the calling thread when `stop` is that thread's own token.
StopSignal* SignalFor(const std::stop_token& stop);

class Win32Thread final : public Thread {
 public:
  Win32Thread(std::jthread thread, HANDLE finished, std::shared_ptr<StopSignal> signal,
              DWORD main_thread)
      : thread_(std::move(thread)),
        finished_(finished),
        signal_(std::move(signal)),
        main_thread_(main_thread) {}
  ~Win32Thread() override {
    Win32Thread::RequestStop();
    Win32Thread::Join();
    ::CloseHandle(finished_);
  }

  void RequestStop() override {
    thread_.request_stop();  // first, so that a woken wait sees it
    ::SetEvent(signal_->event);
  }
  void Join() override {
    if (!thread_.joinable()) return;
    if (::GetCurrentThreadId() == main_thread_) {
      // Keep answering the thread's calls until it has ended.
      while (::MsgWaitForMultipleObjectsEx(1, &finished_, INFINITE, QS_ALLINPUT,
                                           MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0) {
        PumpMessages(nullptr);
      }
    }
    thread_.join();
  }

 private:
  std::jthread thread_;
  HANDLE finished_;
  std::shared_ptr<StopSignal> signal_;
  DWORD main_thread_;
};

// While a thread shows a box: what ends it when the thread is stopped. A
// timer of the box's own thread looks every few milliseconds, so the box is
// ended by the thread that owns it, in its own message loop.
constexpr UINT kBoxStopCheckMs = 20;
extern thread_local const std::stop_token* t_box_stop;
extern thread_local WPARAM t_box_end_command;

// The timer procedure that ends the thread's box once t_box_stop is stopped.
void CALLBACK CheckBoxStop(HWND, UINT, UINT_PTR, DWORD);

// While it lives, a box without an owner that the calling thread shows is
// put above the windows of every program as it is activated. MB_TOPMOST
// asks the system for the same, but not every system acts on it (Wine
// leaves it aside), and a box of a program that is not in front would
// otherwise open behind the window the user is in.
class TopmostBoxes {
 public:
  TopmostBoxes();
  ~TopmostBoxes();
  TopmostBoxes(const TopmostBoxes&) = delete;
  TopmostBoxes& operator=(const TopmostBoxes&) = delete;

 private:
  HHOOK hook_;
};

}  // namespace qm::win32
