// The memory tracker: record table, guard words, slots, compaction and the report text.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/win32_sdl.h"
#include "shell/memory_tracker.h"

namespace {

void collect(const char* text, void* context) { *static_cast<std::string*>(context) += text; }

std::int32_t frontIndex(const void* p) {
  std::int32_t index;
  std::memcpy(&index, static_cast<const char*>(p) - 4, 4);
  return index;
}

std::int32_t backIndex(const void* p, int size) {
  std::int32_t index;
  std::memcpy(&index, static_cast<const char*>(p) + size + 4, 4);
  return index;
}

// A release the tracker may refuse: the block stays usable afterwards, which the compiler
// cannot know, so the delete is kept out of its sight.
[[gnu::noinline]] void deleteArray(char* block) { delete[] block; }

// Runs each test on a fresh table with the debug output captured.
class MemoryTrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = memoryTrackerExchange(MemoryTrackerState{});
    win32SetDebugSink(collect, &output);
  }
  void TearDown() override {
    win32SetDebugSink(nullptr, nullptr);
    memoryTrackerExchange(saved);
  }
  MemoryTrackerState saved{};
  std::string output;
};

TEST_F(MemoryTrackerTest, ReleaseKeepsTheOthersInPlaceAndTheReportInAllocationOrder) {
  char* a = new ("a.cpp", 1) char[10];
  char* b = new ("b.cpp", 2) char[20];
  char* c = new ("c.cpp", 3) char[30];
  const MemoryTrackerState& s = memoryTrackerState();
  ASSERT_EQ(s.recordCount, 3);
  EXPECT_EQ(s.userBytes, 60);
  EXPECT_EQ(s.managerBytes, 180);
  EXPECT_EQ(frontIndex(c), 2);
  EXPECT_EQ(backIndex(c, 30), 2);
  delete[] a;
  ASSERT_EQ(s.recordCount, 2);
  // The others keep their slots and guards; the released slot is empty.
  EXPECT_EQ(s.records[1].address, reinterpret_cast<std::uintptr_t>(b));
  EXPECT_EQ(s.records[2].address, reinterpret_cast<std::uintptr_t>(c));
  EXPECT_EQ(frontIndex(b), 1);
  EXPECT_EQ(backIndex(b, 20), 1);
  EXPECT_EQ(frontIndex(c), 2);
  EXPECT_EQ(backIndex(c, 30), 2);
  EXPECT_EQ(s.userBytes, 50);
  EXPECT_EQ(s.releaseCount, 1);
  reportMemoryStatus(false, 512);
  EXPECT_NE(output.find("Memory blocks (2)\nb.cpp(2) : Memory leak : "), std::string::npos);
  EXPECT_LT(output.find("b.cpp(2)"), output.find("c.cpp(3)"));
  EXPECT_EQ(output.find("a.cpp"), std::string::npos);
  output.clear();
  delete[] c;
  delete[] b;
  EXPECT_EQ(s.recordCount, 0);
  EXPECT_EQ(s.records, nullptr);
  EXPECT_EQ(s.allocationCount, 3);
  EXPECT_EQ(s.releaseCount, 3);
  EXPECT_EQ(output, "");
}

TEST_F(MemoryTrackerTest, ManyReleasesCompactTheTableAndKeepEveryGuardTrue) {
  constexpr int kBlocks = 1000;
  int* blocks[kBlocks];
  for (int i = 0; i < kBlocks; ++i) blocks[i] = new ("many.cpp", i) int(i);
  // Release all but every tenth, from the front: the table compacts on the way.
  for (int i = 0; i < kBlocks; ++i)
    if (i % 10 != 0) delete blocks[i];
  const MemoryTrackerState& s = memoryTrackerState();
  ASSERT_EQ(s.recordCount, kBlocks / 10);
  EXPECT_LE(s.slotCount, 2 * s.recordCount);
  for (int i = 0; i < kBlocks; i += 10) {
    std::int32_t index = frontIndex(blocks[i]);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, s.slotCount);
    EXPECT_EQ(s.records[index].address, reinterpret_cast<std::uintptr_t>(blocks[i]));
    EXPECT_EQ(backIndex(blocks[i], sizeof(int)), index);
  }
  reportMemoryStatus(false, 512);
  std::size_t at = 0;
  for (int i = 0; i < kBlocks; i += 10) {
    std::size_t next = output.find("many.cpp(" + std::to_string(i) + ")", at);
    ASSERT_NE(next, std::string::npos) << i;
    at = next;
  }
  output.clear();
  for (int i = kBlocks - 10; i >= 0; i -= 10) delete blocks[i];
  EXPECT_EQ(s.records, nullptr);
  EXPECT_EQ(s.releaseCount, kBlocks);
  EXPECT_EQ(output, "");
}

TEST_F(MemoryTrackerTest, TableIsFreedWithItsLastBlockAndStartsAgain) {
  int* first = TRACKED_NEW int(5);
  delete first;
  EXPECT_EQ(memoryTrackerState().records, nullptr);
  int* second = TRACKED_NEW int(6);
  ASSERT_NE(memoryTrackerState().records, nullptr);
  EXPECT_EQ(memoryTrackerState().recordCount, 1);
  EXPECT_EQ(frontIndex(second), 0);
  delete second;
  reportMemoryStatus(false, 512);
  EXPECT_EQ(output,
            "### Memory status ###\n"
            "New/Malloc called 2 times\nDelete/Free called 2\n"
            "No leaks detected\n");
}

TEST_F(MemoryTrackerTest, PlainBlocksAreNotRecordedAndEveryBlockIsAligned) {
  struct alignas(64) Wide {
    char bytes[64];
  };
  int* plain = new int(1);
  Wide* wide = new Wide;
  Wide* trackedWide = TRACKED_NEW Wide;
  double* tracked = TRACKED_NEW double(2.0);
  EXPECT_EQ(memoryTrackerState().recordCount, 2);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(plain) % 16, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(tracked) % 16, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wide) % 64, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(trackedWide) % 64, 0u);
  delete plain;
  delete wide;
  EXPECT_EQ(memoryTrackerState().recordCount, 2);
  delete trackedWide;
  delete tracked;
  EXPECT_EQ(memoryTrackerState().recordCount, 0);
  EXPECT_EQ(memoryTrackerState().releaseCount, 2);
  EXPECT_EQ(output, "");
}

// 32-bit heaps (wasm32, 32-bit ARM) give blocks aligned to 8 bytes only: wherever such a heap
// puts a block, the aligned user part, its front guard and what follows it stay inside it.
TEST(MemoryBlockLayout, UserPartAndGuardsFitWhereverAnEightByteHeapPutsTheBlock) {
  alignas(64) static unsigned char arena[1024];
  const auto base = reinterpret_cast<std::uintptr_t>(arena);
  for (std::size_t heapAlignment : {std::size_t{8}, std::size_t{16}}) {
    for (std::size_t alignment : {std::size_t{1}, std::size_t{16}, std::size_t{32}, std::size_t{64}}) {
      for (std::size_t offset = 0; offset < 64; offset += heapAlignment) {
        SCOPED_TRACE(testing::Message() << "heap " << heapAlignment << " align " << alignment << " at +" << offset);
        const std::size_t size = 40, extra = 8;
        std::size_t bytes = memoryBlockBytes(size, alignment, extra, heapAlignment);
        ASSERT_GT(bytes, size + extra);
        std::uintptr_t block = base + offset;
        auto user = reinterpret_cast<std::uintptr_t>(memoryBlockUserPart(arena + offset, alignment));
        EXPECT_EQ(user % (alignment < 16 ? 16 : alignment), 0u);
        EXPECT_GE(user - 16, block);
        EXPECT_LE(user + size + extra, block + bytes);
      }
    }
  }
  EXPECT_EQ(memoryBlockBytes(SIZE_MAX - 8, 16, 8), 0u);
}

TEST_F(MemoryTrackerTest, BadIndexIsReportedAndFreesNothing) {
  char* a = TRACKED_NEW char[4];
  char* b = TRACKED_NEW char[4];
  std::int32_t good = frontIndex(b);
  std::int32_t wrong = 7;
  std::memcpy(b - 4, &wrong, 4);
  deleteArray(b);
  EXPECT_EQ(output, "\n\ndelete ERROR!\n\n");
  EXPECT_EQ(memoryTrackerState().recordCount, 2);
  EXPECT_EQ(memoryTrackerState().releaseCount, 0);
  // An index naming another block's record frees neither.
  wrong = 0;
  std::memcpy(b - 4, &wrong, 4);
  deleteArray(b);
  EXPECT_EQ(memoryTrackerState().recordCount, 2);
  std::memcpy(b - 4, &good, 4);
  deleteArray(b);
  delete[] a;
  EXPECT_EQ(memoryTrackerState().recordCount, 0);
}

TEST_F(MemoryTrackerTest, LeakReportNamesEachBlockAndDumpsItsBytes) {
  char* block = new ("path/to/src/shell/leaky_file_with_a_long_name.cpp", 42) char[20];
  for (int i = 0; i < 20; ++i) block[i] = static_cast<char>(i < 4 ? 'A' + i : i < 16 ? i - 4 : 'W' + i - 16);
  reportMemoryStatus(true, 512);
  char address[32];
  std::snprintf(address, sizeof address, "%" PRIxPTR, reinterpret_cast<std::uintptr_t>(block));
  char secondRow[32];
  std::snprintf(secondRow, sizeof secondRow, "%08" PRIxPTR, reinterpret_cast<std::uintptr_t>(block) + 16);
  const std::string border =
      "        +----------+----------------------------------------------------+------------------+\n";
  std::string expected = std::string("### Memory status ###\n") + "New/Malloc called 1 times\nDelete/Free called 0\n" +
                         "Memory allocated by user: 20b\n" + "Memory allocated by memory manager: 60b\n" +
                         "Memory blocks (1)\n" + "src/shell/leaky_file_with_a_lon(42) : Memory leak : " + "Address 0x" +
                         address + " : Size 20 bytes\n" + border;
  ASSERT_EQ(output.substr(0, expected.size()), expected);
  std::string rows = output.substr(expected.size());
  std::size_t firstEnd = rows.find('\n');
  ASSERT_NE(firstEnd, std::string::npos);
  EXPECT_NE(rows.find(" 41 42 43 44 00 01 02 03   04 05 06 07 08 09 0a 0b | ABCD............ |"), std::string::npos);
  std::string second = rows.substr(firstEnd + 1);
  EXPECT_EQ(second, std::string("        | ") + secondRow +
                        " |  57 58 59 5a ** ** ** **   ** ** ** ** ** ** ** ** | WXYZ............ |\n" + border);
  output.clear();
  delete[] block;
  EXPECT_EQ(memoryTrackerState().userBytes, 0);
}

}  // namespace
