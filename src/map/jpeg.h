#pragma once
// mdlJpeg: turns the bytes of a picture file into a picture.
#include <QImage>

#include "map/map_files.h"

namespace crewmap::map {

// Decodes the buffer's bytes, from its lower index to its upper index, with
// the platform's picture loader (libjpeg through Qt's JPEG plugin; any format
// Qt reads is accepted). A null image means failure; nothing is reported.
// The buffer is not changed; each call yields an independent picture.
QImage LoadJpeg(const ByteBuffer& buffer);

}  // namespace crewmap::map
