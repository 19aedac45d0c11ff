// The map window's pictures: where they are read from, the load with its
// Retry / Cancel messages, and dropping them.
#include <QCoreApplication>
#include <QSignalBlocker>
#include <QSlider>
#include <filesystem>
#include <string>

#include "map/frm_map.h"
#include "map/jpeg.h"
#include "map/map_files.h"
#include "ui/message_box.h"

namespace crewmap::map {

namespace {

QString pictureFolder;
std::function<bool()> halfDcHook;

// Reads one picture file whole and decodes it; a missing or empty file is a
// failed load like undecodable bytes.
QImage ReadPicture(const char* name) {
  // From UTF-8 as char8_t, so the path is wide on Windows whatever the code page.
  const QByteArray folder = frmMap::PictureFolder().toUtf8();
  const auto path = FindFileNoCase(
      std::filesystem::path(std::u8string(folder.begin(), folder.end())), name);
  if (!path) return {};
  auto buffer = ReadWholeFile(*path);
  if (!buffer) return {};
  QImage picture = LoadJpeg(*buffer);
  buffer.reset();  // released as soon as the picture is made
  return picture;
}

}  // namespace

void frmMap::SetPictureFolder(const QString& folder) { pictureFolder = folder; }

QString frmMap::PictureFolder() {
  return pictureFolder.isEmpty() ? QCoreApplication::applicationDirPath() : pictureFolder;
}

void frmMap::SetHalfDcHook(std::function<bool()> hook) { halfDcHook = std::move(hook); }

bool frmMap::MakeHalfDCs() {
  halfDCs_ = halfDcHook ? halfDcHook() : true;
  return halfDCs_;
}

void frmMap::DropPictures() {
  halfDCs_ = false;
  halfSize_ = HalfSizeLevel();
  LeftHalfPicture = QImage();
  RightHalfPicture = QImage();
}

void frmMap::Form_Load() {
  ViewX = 0;
  ViewY = 0;
  {
    const QSignalBlocker blocker(Slider1);  // setting the position is no zoom step
    Slider1->setValue(2);
  }
  Hosei_ = HoseiOne;
  for (;;) {
    if (!MakeHalfDCs()) {
      DropPictures();
      if (ui::ShowMessage(QStringLiteral("内部DCの生成に失敗しました＞＜"), ui::MessageButtons::RetryCancel) ==
          ui::MessageAnswer::Retry)
        continue;
      hide();
      return;
    }
    LeftHalfPicture = ReadPicture(LeftPictureName);
    RightHalfPicture = ReadPicture(RightPictureName);
    if (HasPictures()) {
      // "Selecting into the device context": the drawing format the
      // composition copies from, whatever the decoder produced.
      LeftHalfPicture.convertTo(QImage::Format_RGB32);
      RightHalfPicture.convertTo(QImage::Format_RGB32);
      return;
    }
    DropPictures();
    if (ui::ShowMessage(QStringLiteral("イメージのロードに失敗しました＞＜"), ui::MessageButtons::RetryCancel) !=
        ui::MessageAnswer::Retry) {
      hide();
      return;
    }
  }
}

}  // namespace crewmap::map
