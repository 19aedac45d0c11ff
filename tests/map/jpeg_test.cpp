// mdlJpeg over Qt's JPEG decoder.
#include "map/jpeg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "map_test_support.h"

namespace crewmap::map {
namespace {

ByteBuffer BufferOf(const QByteArray& bytes, std::int32_t lower = 0) {
  ByteBuffer buffer;
  buffer.Lower = lower;
  buffer.Bytes.assign(bytes.begin(), bytes.end());
  return buffer;
}

TEST(LoadJpeg, DecodesAPictureOfTheFilesSize) {
  const ByteBuffer buffer = BufferOf(test::JpegBytes(123, 45));
  const QImage picture = LoadJpeg(buffer);
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(123, 45));
  const QColor c = picture.pixelColor(60, 20);
  EXPECT_NEAR(c.red(), 40, 4);
  EXPECT_NEAR(c.green(), 120, 4);
  EXPECT_NEAR(c.blue(), 200, 4);
}

TEST(LoadJpeg, TakesTheBufferFromItsLowerIndexOn) {
  const ByteBuffer buffer = BufferOf(test::JpegBytes(31, 17), 7);
  EXPECT_EQ(buffer.Upper(), 7 + static_cast<std::int64_t>(buffer.Bytes.size()) - 1);
  const QImage picture = LoadJpeg(buffer);
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(31, 17));
}

TEST(LoadJpeg, SameBufferTwiceGivesIndependentPictures) {
  const ByteBuffer buffer = BufferOf(test::JpegBytes(20, 10));
  const std::vector<std::uint8_t> before = buffer.Bytes;
  QImage first = LoadJpeg(buffer);
  const QImage second = LoadJpeg(buffer);
  ASSERT_FALSE(first.isNull());
  ASSERT_FALSE(second.isNull());
  const QRgb original = second.pixel(0, 0);
  first.setPixel(0, 0, qRgb(255, 0, 0));
  EXPECT_EQ(second.pixel(0, 0), original);
  EXPECT_EQ(buffer.Bytes, before);  // the buffer is not changed
}

TEST(LoadJpeg, FailuresGiveANullPicture) {
  EXPECT_TRUE(LoadJpeg(BufferOf(QByteArray("this is not a picture at all"))).isNull());
  EXPECT_TRUE(LoadJpeg(ByteBuffer{}).isNull());
  QByteArray truncated = test::JpegBytes(64, 64);
  truncated.truncate(20);
  EXPECT_TRUE(LoadJpeg(BufferOf(truncated)).isNull());
}

TEST(LoadJpeg, TheCommittedMapPicturesAreTwoHalves) {
  const QDir dir(QCoreApplication::applicationDirPath());
  for (const char* name : {LeftPictureName, RightPictureName}) {
    const auto buffer = ReadWholeFile(dir.filePath(name).toStdString());
    ASSERT_TRUE(buffer) << name;
    EXPECT_LT(buffer->Bytes.size(), 2u * 1024 * 1024) << name;
    const QImage picture = LoadJpeg(*buffer);
    EXPECT_EQ(picture.size(), QSize(2396, 2396)) << name;
  }
}

}  // namespace
}  // namespace crewmap::map
