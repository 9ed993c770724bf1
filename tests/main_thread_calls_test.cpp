// The queue that carries other threads' calls to a toolkit's main thread:
// call order, answers to value calls, and status-field writes collapsed.
#include "platform/main_thread_calls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qm {
namespace {

// A main thread of its own: Drain() whenever the queue asks for it.
struct FakeMainLoop {
  std::mutex mutex;
  std::condition_variable cv;
  int scheduled = 0;
  std::vector<std::u16string> applied;  // field writes, as "field:text"

  MainThreadCalls calls{[this] {
                          std::lock_guard lock(mutex);
                          ++scheduled;
                          cv.notify_all();
                          return true;
                        },
                        [this](ControlId, int field, std::u16string_view text, FieldAlign) {
                          applied.push_back(std::u16string(1, static_cast<char16_t>(u'0' + field)) +
                                            u":" + std::u16string(text));
                        }};

  // Drains until `done` holds.
  void RunUntil(const std::function<bool()>& done) {
    while (!done()) {
      {
        std::unique_lock lock(mutex);
        cv.wait_for(lock, std::chrono::milliseconds(10), [&] { return scheduled > 0; });
        scheduled = 0;
      }
      while (calls.Drain(4)) {
      }
    }
  }
};

TEST(MainThreadCalls, OnTheMainThreadCallsRunAtOnce) {
  FakeMainLoop loop;
  int ran = 0;
  loop.calls.Run([&] { ++ran; });
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(loop.calls.Call<int>([] { return 7; }), 7);
  loop.calls.SetField(1, 3, u"now", FieldAlign::Left);
  EXPECT_EQ(loop.applied, std::vector<std::u16string>{u"3:now"});
  EXPECT_EQ(loop.scheduled, 0);
}

TEST(MainThreadCalls, OtherThreadsCallsArriveInOrderAndFieldWritesCollapse) {
  FakeMainLoop loop;
  std::vector<int> order;
  std::atomic<bool> queued{false}, finished{false};
  int answer = 0;
  std::thread other([&] {
    loop.calls.Run([&] { order.push_back(1); });
    for (int i = 0; i < 100; ++i) {  // one field, written in a row: only the last is seen
      loop.calls.SetField(1, 3, u"TCL: " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)),
                          FieldAlign::Left);
    }
    loop.calls.SetField(1, 4, u"TD: 1", FieldAlign::Left);
    loop.calls.Run([&] { order.push_back(2); });
    loop.calls.SetField(1, 3, u"TCL: last", FieldAlign::Left);
    queued = true;  // the main thread drains only from here on
    answer = loop.calls.Call<int>([&] {
      order.push_back(3);
      return 42;
    });
    finished = true;
  });
  while (!queued) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  loop.RunUntil([&] { return finished.load(); });
  other.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(loop.applied, (std::vector<std::u16string>{u"3:TCL: 9", u"4:TD: 1", u"3:TCL: last"}));
}

}  // namespace
}  // namespace qm
