// The arena: records in reading order that never move, growth by further blocks, and
// "IncreaseMem" for requests that cannot be served.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "host_platform.h"
#include "startup/arena.h"

namespace {

class ArenaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostResetPlatform();
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  }
  void TearDown() override {
    ArenaRelease();
    EXPECT_EQ(HostBlockCount, 0u) << "blocks leaked";
  }
};

TEST_F(ArenaTest, CarvesZeroFilledMemoryInReadingOrder) {
  char* a = static_cast<char*>(ArenaAlloc(100));
  char* b = static_cast<char*>(ArenaAlloc(300));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(b, a + 100);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(b[i], 0);
  EXPECT_EQ(ArenaRemaining(), kArenaBlockBytes - 400);
  EXPECT_TRUE(HostBoxes.empty());
}

TEST_F(ArenaTest, AlignsRecordsThatHoldPointers) {
  ArenaAlloc(3);
  void** p = ArenaNew<void*>();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(void*), 0u);
}

TEST_F(ArenaTest, RequestOfExactlyTheRemainderGoesToANewBlockWithoutMovingRecords) {
  char* first = static_cast<char*>(ArenaAlloc(1000));
  memset(first, 'x', 1000);
  size_t rest = ArenaRemaining();
  char* big = static_cast<char*>(ArenaAlloc(rest));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(HostBlockCount, 2u);
  EXPECT_TRUE(big + rest <= first || big >= first + 1000 + rest);
  EXPECT_EQ(first[999], 'x');
  EXPECT_TRUE(HostBoxes.empty());
}

TEST_F(ArenaTest, GrowsWellPastOneBlockForLargeScripts) {
  // Ten thousand file entries of about 830 bytes each.
  for (int i = 0; i < 10000; ++i) ASSERT_NE(ArenaAlloc(830), nullptr) << i;
  EXPECT_GT(ArenaTotalBytes(), 8000000u);
  EXPECT_TRUE(HostBoxes.empty());
}

TEST_F(ArenaTest, OverflowingArrayRequestShowsIncreaseMemAndAllocatesNothing) {
  size_t before = ArenaTotalBytes();
  EXPECT_EQ(ArenaAllocArray(2000000000, 830), nullptr);
  EXPECT_EQ(ArenaAllocArray(INT64_MAX, 16), nullptr);
  EXPECT_EQ(ArenaAllocArray(4, SIZE_MAX / 2), nullptr);
  EXPECT_EQ(ArenaTotalBytes(), before);
  ASSERT_EQ(HostBoxes.size(), 3u);
  EXPECT_EQ(HostBoxes[0].Text, "IncreaseMem");
  EXPECT_EQ(HostBoxes[0].Caption, "");
  EXPECT_EQ(HostBoxes[0].Style, 0x10u);
}

TEST_F(ArenaTest, StopsAtTheCap) {
  size_t served = 0;
  while (ArenaAlloc(1 << 20)) ++served;
  EXPECT_LE(ArenaTotalBytes(), kArenaCapBytes);
  EXPECT_GE(served, kArenaCapBytes / (2u << 20));
  EXPECT_EQ(HostBoxes.size(), 1u);
}

TEST_F(ArenaTest, FailedBlockShowsIncreaseMem) {
  HostBlockLimit = 1;
  EXPECT_EQ(ArenaAlloc(kArenaBlockBytes), nullptr);
  ASSERT_EQ(HostBoxes.size(), 1u);
  EXPECT_EQ(HostBoxes[0].Text, "IncreaseMem");
  // Small requests still fit in the first block.
  EXPECT_NE(ArenaAlloc(10), nullptr);
}

TEST(ArenaLifecycle, NothingIsServedWithoutAnArenaAndReleaseIsIdempotent) {
  HostResetPlatform();
  ArenaRelease();
  EXPECT_EQ(ArenaAlloc(8), nullptr);
  EXPECT_EQ(HostBoxes.size(), 1u);
  ArenaRelease();
  EXPECT_EQ(ArenaRemaining(), 0u);
}

}  // namespace
