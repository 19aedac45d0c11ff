// The main window's part in the map: the "MAP" button, the map window loaded
// with the group's meeting point, and that point shared or received.
#include <QLineEdit>
#include <cstdio>
#include <filesystem>
#include <string>

#include "main/frm_main.h"
#include "main/host_side.h"
#include "main/main_window_support.h"
#include "main/member_side.h"
#include "map/frm_map.h"
#include "map/map_files.h"
#include "net/wire_text.h"
#include "startup/log_lines.h"
#include "net/winsock.h"
#include "ui/first_placement.h"
#include "ui/message_box.h"

namespace crewmap::main {

map::frmMap& frmMain::LoadMap() {
  map::frmMap& map = map::frmMap::Load();
  if (IsHost()) {
    map.SetMeetingShare([this](std::optional<GamePoint> point) { ShareMeetingPoint(point); });
  } else {
    // A member proposes to its host, which tells everyone (this member too).
    map.SetMeetingShare(
        [this](std::optional<GamePoint> point) {
          member_->ProposeMeetingPoint(point, net::EncodeWireText(ToUtf8(txtNick->text())));
        },
        [this] { return Winsock[1]->State() == net::SocketState::Connected; });
  }
  map.SetMeetingPoint(meetingPoint_);
  map.SetArrivalLog(
      [this](const std::string& text) { AppendLog(FromUtf8(startup::NoticeRow(startup::CurrentTimestamp(), text))); });
  return map;
}

void frmMain::Command2_Click() {
  // From UTF-8 as char8_t, so the path is wide on Windows whatever the code page.
  const QByteArray utf8 = ProgramFolder().toUtf8();
  const std::filesystem::path folder(std::u8string(utf8.begin(), utf8.end()));
  if (!map::FindFileNoCase(folder, "worldmap_c1.JPG") || !map::FindFileNoCase(folder, "worldmap_c2.JPG")) {
    ui::ShowMessage(QStringLiteral("MAPファイルが無いﾃﾞｽね。\r\nこれでは表示できないのですが＾＾；"),
                    ui::MessageButtons::Ok);
    return;
  }
  map::frmMap& map = LoadMap();
  if (!map.isVisible()) ui::PlaceOnFirstShow(map, windowSource_.get());
  map.show();
}

void frmMain::ShareMeetingPoint(std::optional<GamePoint> point) {
  if (!host_) return;
  meetingPoint_ = point;
  host_->ShareMeetingPoint(point);
  if (map::frmMap* map = map::frmMap::Loaded()) map->SetMeetingPoint(point);
}

void frmMain::MeetingPointReceived(std::optional<GamePoint> point) {
  meetingPoint_ = point;
  if (map::frmMap* map = map::frmMap::Loaded()) map->SetMeetingPoint(point);
  if (DebugLists())
    std::fprintf(stderr, "Meeting= %s\n",
                 point ? (std::to_string(point->x) + "," + std::to_string(point->y)).c_str() : "");
}

}  // namespace crewmap::main
