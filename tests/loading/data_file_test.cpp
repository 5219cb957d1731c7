// Whole-file reader: opening, binary reads at and past the end, seeking, tokens.
#include "loading/data_file.h"
#include "support/loading_temp_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdint>
#include <string>

namespace {

std::string nextToken(DataFile& file, int32_t capacity = 256) {
  char buffer[512];
  file.readToken(buffer, capacity);
  return buffer;
}

}  // namespace

TEST(DataFileTest, OpenFailuresHoldNothing) {
  DataFile file;
  EXPECT_FALSE(file.open("/nonexistent/vellumite/file.bin", 1));
  EXPECT_EQ(file.data, nullptr);
  EXPECT_EQ(file.littleEndian, 1);

  // A directory opens with fopen on Linux but cannot be read: refused, nothing served.
  char dir[] = "/tmp/vellumite_dir_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  EXPECT_FALSE(file.open(dir, 1));
  EXPECT_EQ(file.data, nullptr);
  EXPECT_EQ(file.size, 0u);
  EXPECT_EQ(file.readByte(), 0xFF);
  EXPECT_FALSE(file.seek(0, 0));

  // A named pipe is refused at once (no writer ever comes), as is a device.
  const std::string pipe = std::string(dir) + "/pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(file.open(pipe.c_str(), 1));
  EXPECT_FALSE(file.open("/dev/zero", 1));
  EXPECT_EQ(file.data, nullptr);
  unlink(pipe.c_str());

  // Opening again replaces the buffer; close resets every field. A failed open keeps
  // the file that is held.
  LoadingTempFile a(std::string("abc"));
  LoadingTempFile b(std::string("hello"));
  ASSERT_TRUE(file.open(a.path(), 1));
  EXPECT_FALSE(file.open(dir, 0));
  EXPECT_FALSE(file.open("/nonexistent/vellumite/file.bin", 0));
  ASSERT_EQ(file.size, 3u);
  EXPECT_EQ(file.littleEndian, 1);
  EXPECT_EQ(file.readByte(), 'a');
  rmdir(dir);
  ASSERT_TRUE(file.open(a.path(), 0));
  EXPECT_EQ(file.littleEndian, 0);
  ASSERT_TRUE(file.open(b.path(), 1));
  EXPECT_EQ(file.size, 5u);
  EXPECT_EQ(file.readByte(), 'h');
  file.close();
  EXPECT_EQ(file.data, nullptr);
  EXPECT_EQ(file.size, 0u);
  EXPECT_EQ(file.position, 0u);
}

TEST(DataFileTest, BinaryReadsInBothByteOrdersAndAtTheEnd) {
  const uint8_t bytes[] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F, 0xAA};
  LoadingTempFile temp(bytes, sizeof bytes);
  DataFile file;
  ASSERT_TRUE(file.open(temp.path(), 1));
  EXPECT_EQ(file.readWord(), 0x1234);
  EXPECT_EQ(file.readDword(), 0x12345678u);
  EXPECT_EQ(file.readFloat(), 1.0f);
  // One byte left: a word consumes it and answers the end value.
  EXPECT_EQ(file.readWord(), 0xFFFF);
  EXPECT_EQ(file.position, file.size);
  EXPECT_EQ(file.readByte(), 0xFF);
  EXPECT_EQ(file.readDword(), 0xFFFFFFFFu);
  EXPECT_EQ(file.readFloat(), -1.0f);

  ASSERT_TRUE(file.open(temp.path(), 0));
  EXPECT_EQ(file.readWord(), 0x3412);
  EXPECT_EQ(file.readDword(), 0x78563412u);
  file.seek(8, 0);
  EXPECT_EQ(file.readDword(), 0xFFFFFFFFu);  // only three bytes left
  EXPECT_EQ(file.position, file.size);
}

TEST(DataFileTest, SeekClampsAndReadBytesStopsAtTheEnd) {
  LoadingTempFile temp(std::string("xyz"));
  DataFile file;
  ASSERT_TRUE(file.open(temp.path(), 1));
  EXPECT_TRUE(file.seek(5, 0));
  EXPECT_EQ(file.position, 2u);
  EXPECT_TRUE(file.seek(0, 2));
  EXPECT_EQ(file.readByte(), 'z');
  EXPECT_TRUE(file.seek(-2, 1));
  EXPECT_EQ(file.readByte(), 'y');
  EXPECT_TRUE(file.seek(-10, 1));  // wraps in unsigned arithmetic, clamped to the last byte
  EXPECT_EQ(file.position, 2u);

  LoadingTempFile ten(std::string("0123456789"));
  ASSERT_TRUE(file.open(ten.path(), 1));
  file.seek(6, 0);
  char out[16] = {};
  EXPECT_EQ(file.readBytes(out, 10), 4);
  EXPECT_EQ(std::string(out), "6789");
  EXPECT_EQ(file.readBytes(out, 10), -1);
  file.seek(0, 0);
  EXPECT_EQ(file.readBytes(nullptr, 3), -1);
  EXPECT_EQ(file.readBytes(out, -4), 0);
  EXPECT_EQ(file.position, 0u);
}

TEST(DataFileTest, EmptyFileAnswersEndValues) {
  LoadingTempFile temp(std::string(""));
  DataFile file;
  ASSERT_TRUE(file.open(temp.path(), 1));
  EXPECT_EQ(file.size, 0u);
  EXPECT_EQ(file.readByte(), 0xFF);
  EXPECT_EQ(file.readWord(), 0xFFFF);
  EXPECT_EQ(file.readDword(), 0xFFFFFFFFu);
  EXPECT_EQ(file.readFloat(), -1.0f);
  char out[4];
  EXPECT_EQ(file.readBytes(out, 4), -1);
  EXPECT_EQ(nextToken(file), "");
  EXPECT_EQ(file.readInt(), 0);
  EXPECT_EQ(file.readHex(), 0u);
  EXPECT_EQ(file.readReal(), 0.0);
  EXPECT_TRUE(file.seek(3, 0));
  EXPECT_EQ(file.position, 0u);
  EXPECT_TRUE(file.atEnd());
}

TEST(DataFileTest, TokensSplitOnBlanksAndLineBreaksOnly) {
  LoadingTempFile temp(std::string("Key\t0\r\nKey 0\r\n  \r\nLast"));
  DataFile file;
  ASSERT_TRUE(file.open(temp.path(), 1));
  EXPECT_EQ(nextToken(file), "Key\t0");  // a tab is no separator; the CR is dropped
  EXPECT_EQ(nextToken(file), "Key");
  EXPECT_EQ(nextToken(file), "0");
  EXPECT_EQ(nextToken(file), "Last");
  EXPECT_EQ(file.position, file.size);
  EXPECT_EQ(nextToken(file), "");
}

TEST(DataFileTest, TokenCapacityLosesOneCharacter) {
  std::string word;
  for (int i = 0; i < 300; ++i) word += static_cast<char>('a' + i % 26);
  LoadingTempFile temp(word + " next");
  DataFile file;
  ASSERT_TRUE(file.open(temp.path(), 1));
  EXPECT_EQ(nextToken(file, 256), word.substr(0, 255));
  EXPECT_EQ(nextToken(file, 256), word.substr(256));
  EXPECT_EQ(nextToken(file, 256), "next");
}

TEST(DataFileTest, NulBytesEndTokens) {
  const char bytes[] = {'a', 'b', '\0', 'c', ' ', '\0', 'd'};
  LoadingTempFile temp(bytes, sizeof bytes);
  DataFile file;
  ASSERT_TRUE(file.open(temp.path(), 1));
  EXPECT_EQ(nextToken(file), "ab");  // the NUL after it is consumed
  EXPECT_EQ(nextToken(file), "c");
  EXPECT_EQ(nextToken(file), "");  // a NUL where a token starts: empty, consumed
  EXPECT_EQ(nextToken(file), "d");
  EXPECT_TRUE(file.atEnd());
}

TEST(DataFileTest, NumberConversions) {
  LoadingTempFile temp(std::string("42 -17 12abc x 99999999999 ff 0x1A -1 123456789AB zz 3.5 -2.5e2 .25 nope"));
  DataFile file;
  ASSERT_TRUE(file.open(temp.path(), 1));
  EXPECT_EQ(file.readInt(), 42);
  EXPECT_EQ(file.readInt(), -17);
  EXPECT_EQ(file.readInt(), 12);
  EXPECT_EQ(file.readInt(), 0);
  EXPECT_EQ(file.readInt(), INT32_MAX);  // no undefined overflow
  EXPECT_EQ(file.readHex(), 0xFFu);
  EXPECT_EQ(file.readHex(), 0x1Au);
  EXPECT_EQ(file.readHex(), 0xFFFFFFFFu);
  EXPECT_EQ(file.readHex(), 0xFFFFFFFFu);  // saturates
  EXPECT_EQ(file.readHex(), 0u);
  EXPECT_EQ(file.readReal(), 3.5);
  EXPECT_EQ(file.readReal(), -250.0);
  EXPECT_EQ(file.readReal(), 0.25);
  EXPECT_EQ(file.readReal(), 0.0);
}
