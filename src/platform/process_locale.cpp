#include "platform/process_locale.h"

#ifndef _WIN32
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#endif

namespace crewmap::platform {

void EnsureUtf8CharacterType() {
#ifndef _WIN32
  if (std::setlocale(LC_CTYPE, "") != nullptr) {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0)) return;
  }
  // LC_ALL overrides every category, so a non-UTF-8 LC_ALL has to go; the
  // other categories then follow LANG and their own variables as before.
  if (const char* all = std::getenv("LC_ALL"); all && *all) {
    if (const char* lang = std::getenv("LANG"); !lang || !*lang) setenv("LANG", all, 1);
    unsetenv("LC_ALL");
  }
  setenv("LC_CTYPE", "C.UTF-8", 1);
  std::setlocale(LC_CTYPE, "");
#endif
}

}  // namespace crewmap::platform
