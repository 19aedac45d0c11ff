#pragma once
// Which of the program's instances on this desktop this one is, so that
// each opens its windows a little further on than the others'. The number
// belongs to the desktop session actually in use (the X server; the Windows
// logon session), never to a name that another server or session can share.
namespace crewmap::platform {

// The lowest number in 0..count-1 that no other running instance in this
// session holds, held by this process until it ends (however it ends);
// 0 when all are held or the session cannot be asked.
int ClaimInstanceNumber(int count);

}  // namespace crewmap::platform
