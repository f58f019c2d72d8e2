#include "emulator/DeviceChangeBroadcaster.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace {

using emu::CDeviceChangeBroadcaster;
using Heard = std::vector<std::pair<bool, uint32_t>>;

TEST(DeviceChangeBroadcasterTest, SubscribersHearEachAnnouncementInOrder) {
  CDeviceChangeBroadcaster b;
  Heard first, second;
  std::vector<int> order;
  b.subscribe([&](bool arrival, uint32_t mask) {
    first.emplace_back(arrival, mask);
    order.push_back(1);
  });
  b.subscribe([&](bool arrival, uint32_t mask) {
    second.emplace_back(arrival, mask);
    order.push_back(2);
  });
  b.announce(true, 0x10);
  b.announce(false, 0x30);
  const Heard expected{{true, 0x10}, {false, 0x30}};
  EXPECT_EQ(first, expected);
  EXPECT_EQ(second, expected);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 1, 2}));
}

TEST(DeviceChangeBroadcasterTest, EmptyMaskAnnouncesNothing) {
  CDeviceChangeBroadcaster b;
  int calls = 0;
  b.subscribe([&](bool, uint32_t) { ++calls; });
  b.announce(true, 0);
  b.announce(false, 0);
  EXPECT_EQ(calls, 0);
}

TEST(DeviceChangeBroadcasterTest, UnsubscribedHearsNoMore) {
  CDeviceChangeBroadcaster b;
  int a = 0, c = 0;
  const int id = b.subscribe([&](bool, uint32_t) { ++a; });
  b.subscribe([&](bool, uint32_t) { ++c; });
  b.announce(true, 1);
  b.unsubscribe(id);
  b.unsubscribe(id);  // twice is harmless
  b.announce(true, 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(c, 2);
}

TEST(DeviceChangeBroadcasterTest, SubscriberMayUnsubscribeItselfOrSubscribeAnother) {
  CDeviceChangeBroadcaster b;
  int self = 0, later = 0, after = 0;
  int selfId = 0;
  selfId = b.subscribe([&](bool, uint32_t) {
    ++self;
    b.unsubscribe(selfId);
    b.subscribe([&](bool, uint32_t) { ++later; });
  });
  b.subscribe([&](bool, uint32_t) { ++after; });
  b.announce(true, 4);
  // One subscribed during an announcement hears only the next ones.
  EXPECT_EQ(later, 0);
  b.announce(false, 4);
  EXPECT_EQ(self, 1);
  EXPECT_EQ(later, 1);
  EXPECT_EQ(after, 2);
}

TEST(DeviceChangeBroadcasterTest, UnsubscribeWaitsForARunningSubscriber) {
  CDeviceChangeBroadcaster b;
  std::atomic<bool> inside{false}, finished{false};
  const int id = b.subscribe([&](bool, uint32_t) {
    inside = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    finished = true;
  });
  std::thread announcer([&] { b.announce(true, 8); });
  while (!inside) std::this_thread::yield();
  b.unsubscribe(id);
  EXPECT_TRUE(finished) << "unsubscribe returned while the subscriber still ran";
  announcer.join();
}

}  // namespace
