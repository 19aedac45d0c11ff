#include "map_test_support.h"

#include <QBuffer>
#include <QDir>

#include "map/map_files.h"

namespace crewmap::map::test {

QRgb ColumnCodedColour(int mapColumn, int row) { return qRgb(mapColumn & 0xFF, mapColumn >> 8, row & 0xFF); }

int DecodeColumn(QRgb pixel) {
  const int column = qRed(pixel) | (qGreen(pixel) << 8);
  return column < 4792 ? column : -1;
}

QImage ColumnCodedHalf(bool rightHalf, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = ColumnCodedColour(x + (rightHalf ? 2396 : 0), y);
  }
  return image;
}

bool WriteColumnCodedPictures(const QString& folder) {
  const QDir dir(folder);
  return ColumnCodedHalf(false).save(dir.filePath(LeftPictureName), "PNG") &&
         ColumnCodedHalf(true).save(dir.filePath(RightPictureName), "PNG");
}

QByteArray JpegBytes(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(qRgb(40, 120, 200));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 90);
  return bytes;
}

}  // namespace crewmap::map::test
