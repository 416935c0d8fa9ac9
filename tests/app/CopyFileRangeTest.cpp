#include <gtest/gtest.h>
#include <windows.h>

#include "TempDir.h"
#include "player/shell/CopyFileRange.h"

namespace lumafolio {
namespace {

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

class CopyRange : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteBytes(source_, Pattern(3 * 2048 + 100)); }
  test::TempDir dir_;
  std::string source_ = dir_.File("player.exe");
  std::string destination_ = dir_.File("out.bin");
};

TEST_F(CopyRange, CopiesExactlyTheRange) {
  const auto all = Pattern(3 * 2048 + 100);
  for (int64_t length : {int64_t{0}, int64_t{1}, int64_t{2047}, int64_t{2048}, int64_t{2 * 2048},
                         int64_t{3 * 2048 + 90}}) {
    ASSERT_TRUE(CopyFileRange(source_, 10, length, destination_)) << length;
    EXPECT_EQ(test::ReadBytes(destination_),
              std::vector<uint8_t>(all.begin() + 10, all.begin() + 10 + length))
        << length;
  }
  // The range may end exactly at the end of the source.
  ASSERT_TRUE(CopyFileRange(source_, 100, 3 * 2048, destination_));
  EXPECT_EQ(test::ReadBytes(destination_), std::vector<uint8_t>(all.begin() + 100, all.end()));
}

TEST_F(CopyRange, ReplacesAReadOnlyDestination) {
  test::WriteBytes(destination_, std::vector<uint8_t>(50000, 'x'));
  ASSERT_TRUE(SetFileAttributesA(destination_.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CopyFileRange(source_, 0, 5, destination_));
  EXPECT_EQ(test::ReadBytes(destination_).size(), 5u);
  EXPECT_EQ(GetFileAttributesA(destination_.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(CopyRange, RangePastTheEndLeavesTheDestinationAlone) {
  EXPECT_FALSE(CopyFileRange(source_, 0, 3 * 2048 + 101, destination_));
  EXPECT_EQ(GetFileAttributesA(destination_.c_str()), INVALID_FILE_ATTRIBUTES);  // not created

  test::WriteBytes(destination_, {1, 2, 3});
  EXPECT_FALSE(CopyFileRange(source_, 3 * 2048 + 50, 51, destination_));
  EXPECT_EQ(test::ReadBytes(destination_), (std::vector<uint8_t>{1, 2, 3}));  // not truncated

  EXPECT_FALSE(CopyFileRange(source_, -1, 5, destination_));
  EXPECT_FALSE(CopyFileRange(source_, 10, INT64_MAX, destination_));  // no overflow past the end
  EXPECT_FALSE(CopyFileRange(source_, INT64_MAX, 1, destination_));
  EXPECT_FALSE(CopyFileRange(dir_.File("missing.exe"), 0, 1, destination_));
  EXPECT_FALSE(CopyFileRange(source_, 0, 1, dir_.File("no-such-folder\\out.bin")));
}

TEST_F(CopyRange, ServesWindowMessagesWhileCopying) {
  // Two full chunks dispatch up to two messages; a posted thread message shows they were taken.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
  ASSERT_TRUE(CopyFileRange(source_, 0, 2 * 2048, destination_));
  int left = 0;
  while (PeekMessageA(&message, nullptr, WM_APP, WM_APP, PM_REMOVE)) ++left;
  EXPECT_EQ(left, 1);
}

}  // namespace
}  // namespace lumafolio
