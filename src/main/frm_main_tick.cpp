// The one-second tick: read the position, share it, move the map; and what
// the player is told about the capture.
#include <QLabel>
#include <QLineEdit>
#include <optional>
#include <string>

#include "common/steady_ms.h"
#include "main/frm_main.h"
#include "main/host_side.h"
#include "main/main_window_support.h"
#include "main/member_side.h"
#include "main/slot_rows.h"
#include "map/frm_map.h"
#include "map/markers.h"
#include "navi/frm_navi.h"
#include "net/messages.h"
#include "net/wire_text.h"
#include "startup/common.h"
#include "startup/log_lines.h"
#include "ui/back_on_top.h"
#include "ui/fonts.h"

namespace crewmap::main {

void frmMain::Timer1_Timer() {
  if (unloaded_) return;
  // 1. Capture, on a member whether or not it is connected: before its first
  // 「接続」 and while it tries its host again its own marker and the
  // overlay still follow the ship. Only the sending waits for a connection.
  const reader::CaptureOutcome outcome = capture_->CapturePosition();
  ShowCapture(outcome);
  if (IsHost()) {
    if (outcome.ok) {
      // 2. Host: own slot, list, and the host position to every connected member.
      const std::string nickBytes = net::EncodeWireText(ToUtf8(txtNick->text()));
      Slots[0].Nick = ToUtf8(txtNick->text());
      Slots[0].Point = outcome.position;
      if (!outcome.position.empty()) Slots[0].PointAtMs = SteadyNowMs();
      ShowRows(BuildMemberRows(Slots, 8, RowForm::Full));
      host_->SendHostPosition(ToBytes(net::BuildHostPosition(nickBytes, outcome.position)));
    } else {
      // No position while the capture fails, but a blank line, which every
      // peer skips: it shows the members that the host is still there.
      host_->SendBlankLine();
    }
  } else if (startup::StartMode == 1) {
    // 3. Member: the report while connected (a blank line after a failure),
    // and rows of members it no longer hears of go.
    member_->Reading(ToUtf8(txtNick->text()),
                     outcome.ok ? std::optional<std::string>(outcome.position) : std::nullopt);
    member_->ForgetSilentRows();
  }

  // 4. The map, also after a capture failure. A member followed on the map
  // who has gone ends the following with one log row.
  map::frmMap* shown = map::frmMap::Loaded();
  const int followed = shown ? shown->FollowedSlot() : -1;
  map::UpdateMapMarkers(member_ ? member_->Shown() : Slots, MySlot);
  if (followed >= 0 && shown->FollowedSlot() < 0)
    AppendLog(FromUtf8(startup::NoticeRow(startup::CurrentTimestamp(), shown->Scene().FollowText())));
}

void frmMain::ShowCapture(const reader::CaptureOutcome& outcome) {
  const QString line = FromUtf8(reader::CaptureStateText(outcome));
  if (lblCapture->text() != line) {
    lblCapture->setText(line);
    FitCaption(lblCapture, ui::DesignFont(ui::kPGothic));
  }
  if (captureLog_.ShouldLog(ToUtf8(line)))
    AppendLog(FromUtf8(startup::NoticeRow(startup::CurrentTimestamp(), ToUtf8(line))));
  // The failure text stands in the caption only while captures fail.
  if (outcome.ok && Label1->text() != kSrvIpCaption) {
    Label1->setText(kSrvIpCaption);
    FitCaption(Label1, ui::DesignFont(ui::kPGothic));
  }
  // A game window started again (or made anew for a new size) opens above
  // the overlay: put the overlay back above it.
  const platform::WindowHandle game = capture_->GameWindow;
  if (game != 0 && game != overlaidGame_) {
    overlaidGame_ = game;
    if (navi::frmNavi* navi = navi::frmNavi::Loaded(); navi && navi->isVisible()) ui::PutBackOnTop(*navi);
  }
}

}  // namespace crewmap::main
