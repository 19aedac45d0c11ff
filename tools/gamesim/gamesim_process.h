#pragma once
// Runs gamesim as a child process on the current $DISPLAY and drives it
// through its standard input ("X,Y", "size WxH") and output ("shown ...").
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace crewmap::gamesim {

class GameSimProcess {
 public:
  GameSimProcess() = default;
  ~GameSimProcess();
  GameSimProcess(const GameSimProcess&) = delete;
  GameSimProcess& operator=(const GameSimProcess&) = delete;

  // Starts gamesim with these arguments (e.g. {"--still", "--size", "800x600"}).
  bool Start(const std::vector<std::string>& args);
  // Sends one command and waits for its answer line ("shown ..." or "error ...").
  std::optional<std::string> Command(const std::string& line,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Ends the process (SIGTERM, then SIGKILL) and reaps it.
  void Stop();
  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  static std::string Path();

 private:
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string buffered_;
};

}  // namespace crewmap::gamesim
