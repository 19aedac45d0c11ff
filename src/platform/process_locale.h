#pragma once

namespace crewmap::platform {

// Call first thing in main, before the toolkit starts. The windows' titles
// are Japanese, and X window managers that read the classic title property
// get it in the encoding of the process's character-type locale. A process
// started without a UTF-8 locale (plain C/POSIX) therefore takes C.UTF-8 for
// its character type; any UTF-8 locale the user chose is kept. Does nothing
// on Windows, where titles are UTF-16.
void EnsureUtf8CharacterType();

}  // namespace crewmap::platform
