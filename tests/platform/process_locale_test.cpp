#include "platform/process_locale.h"

#include <gtest/gtest.h>
#include <langinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace crewmap::platform {
namespace {

// Runs EnsureUtf8CharacterType in a child process started with the given
// locale variables and returns "<codeset>|<LC_ALL>|<LC_CTYPE>|<LANG>" as the
// child saw them afterwards.
std::string AfterEnsure(const char* lcAll, const char* lang, const char* lcCtype) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    auto set = [](const char* name, const char* value) {
      if (value) setenv(name, value, 1); else unsetenv(name);
    };
    set("LC_ALL", lcAll);
    set("LANG", lang);
    set("LC_CTYPE", lcCtype);
    EnsureUtf8CharacterType();
    auto env = [](const char* name) { const char* v = std::getenv(name); return std::string(v ? v : "-"); };
    const std::string out = std::string(nl_langinfo(CODESET)) + "|" + env("LC_ALL") + "|" +
                            env("LC_CTYPE") + "|" + env("LANG");
    (void)!write(fds[1], out.data(), out.size());
    _exit(0);
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return out;
}

TEST(ProcessLocale, PlainCBecomesUtf8AndUtf8ChoicesAreKept) {
  // No locale at all, or an explicit C/POSIX one: the character type becomes UTF-8.
  EXPECT_EQ(AfterEnsure(nullptr, nullptr, nullptr), "UTF-8|-|C.UTF-8|-");
  EXPECT_EQ(AfterEnsure("C", nullptr, nullptr), "UTF-8|-|C.UTF-8|C");
  EXPECT_EQ(AfterEnsure(nullptr, "POSIX", nullptr), "UTF-8|-|C.UTF-8|POSIX");
  // A UTF-8 locale the user chose is left exactly as it was.
  EXPECT_EQ(AfterEnsure(nullptr, "C.UTF-8", nullptr), "UTF-8|-|-|C.UTF-8");
  EXPECT_EQ(AfterEnsure("C.UTF-8", nullptr, nullptr), "UTF-8|C.UTF-8|-|-");
}

}  // namespace
}  // namespace crewmap::platform
