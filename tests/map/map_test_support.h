#pragma once
// Pictures and folders for the map window's tests.
#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace crewmap::map::test {

// A half picture whose every pixel names its own map column and row: red and
// green hold the map column (0..4791), blue the row modulo 256.
QImage ColumnCodedHalf(bool rightHalf, int width = 2396, int height = 2396);
QRgb ColumnCodedColour(int mapColumn, int row);
// The map column a column-coded pixel names, or -1 for anything else.
int DecodeColumn(QRgb pixel);

// Writes both column-coded halves as lossless pictures under the map's file
// names (the loader takes any picture format Qt reads).
bool WriteColumnCodedPictures(const QString& folder);

// JPEG bytes of a picture of the given size.
QByteArray JpegBytes(int width, int height);

}  // namespace crewmap::map::test
