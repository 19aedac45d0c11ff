// The one-second tick: read the position, share it, move the map; and what
// the player is told about the capture.
#include <QLabel>
#include <QLineEdit>

#include "common/steady_ms.h"
#include "main/frm_main.h"
#include "main/host_side.h"
#include "main/main_window_support.h"
#include "main/member_side.h"
#include "main/slot_rows.h"
#include "map/markers.h"
#include "navi/frm_navi.h"
#include "net/messages.h"
#include "net/wire_text.h"
#include "net/winsock.h"
#include "startup/common.h"
#include "startup/log_lines.h"
#include "ui/back_on_top.h"
#include "ui/fonts.h"

namespace crewmap::main {

void frmMain::Timer1_Timer() {
  if (unloaded_) return;
  // 1. Gate: an unconnected member reads and sends nothing. Its map still
  // shows how old what it last heard is: a member trying its host again
  // would otherwise show bright markers of a group it has lost touch with.
  if (startup::StartMode == 1 && Winsock[1]->State() != net::SocketState::Connected) {
    lblCapture->clear();  // nothing is read until the member is connected
    map::UpdateMapMarkers(Slots, MySlot);
    return;
  }

  // 2. Capture.
  const reader::CaptureOutcome outcome = capture_->CapturePosition();
  ShowCapture(outcome);
  if (outcome.ok) {
    const std::string nickBytes = net::EncodeWireText(ToUtf8(txtNick->text()));
    if (IsHost()) {
      // 3. Host: own slot, list, and the host position to every connected member.
      Slots[0].Nick = ToUtf8(txtNick->text());
      Slots[0].Point = outcome.position;
      if (!outcome.position.empty()) Slots[0].PointAtMs = SteadyNowMs();
      ShowRows(BuildMemberRows(Slots, 8, RowForm::Full));
      host_->SendHostPosition(ToBytes(net::BuildHostPosition(nickBytes, outcome.position)));
    } else if (startup::StartMode == 1) {
      // 4. Member: the position report.
      member_->SendReport(ToBytes(net::BuildPositionReport(nickBytes, outcome.position)));
    }
  } else if (IsHost()) {
    // No position while the capture fails, but a blank line, which every
    // peer skips: it shows the members that the host is still there.
    host_->SendBlankLine();
  } else {
    // Likewise towards the host: this member is still there.
    member_->SendBlankLine();
  }

  // 5. The map, also after a capture failure.
  map::UpdateMapMarkers(Slots, MySlot);
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
