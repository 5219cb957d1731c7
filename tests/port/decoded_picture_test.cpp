// The self-freeing picture the tools and tests decode files with: what it holds after a good
// file, and that a refused file leaves it empty with no size, even where the header was read.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "port/decoded_picture.h"
#include "support/image_writers.h"

namespace {

using image_test::Bytes;

TEST(DecodedPictureTest, HoldsTheDecodedPixelsAndTheirSize) {
  const std::string dir = image_test::makeTempDir("decoded");
  ASSERT_FALSE(dir.empty());
  const Bytes bgr = image_test::makePattern(7, 3, 5);
  const std::string good = dir + "/good.bmp";
  ASSERT_TRUE(image_test::writeFile(good, image_test::writeBmp24(bgr, 7, 3)));
  const DecodedPicture picture(good.c_str());
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture.width(), 7);
  EXPECT_EQ(picture.height(), 3);
  EXPECT_EQ(std::memcmp(picture.bgr(), bgr.data(), bgr.size()), 0);

  // A file cut after its header: the decoder has read a size but gives no picture.
  Bytes cut = image_test::writeBmp24(bgr, 7, 3);
  cut.resize(cut.size() / 2);
  const std::string damaged = dir + "/cut.bmp";
  ASSERT_TRUE(image_test::writeFile(damaged, cut));
  for (const std::string& name : {damaged, dir + "/missing.bmp", dir + "/good.png"}) {
    const DecodedPicture refused(name.c_str());
    EXPECT_FALSE(refused) << name;
    EXPECT_EQ(refused.bgr(), nullptr);
    EXPECT_EQ(refused.width(), 0) << name;
    EXPECT_EQ(refused.height(), 0) << name;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
