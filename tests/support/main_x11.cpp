// Test main for programs that talk to X directly: a private Xvfb for the run.
#include <gtest/gtest.h>

#include "support/private_network.h"
#include "support/xvfb_server.h"

int main(int argc, char** argv) {
  // Before any thread or server starts, so that all of them live in it.
  crewmap::test::EnterPrivateNetworkIfAsked();
  testing::InitGoogleTest(&argc, argv);
  crewmap::test::XvfbServer server;
  crewmap::test::EnsureTestDisplay(server);
  const int result = RUN_ALL_TESTS();
  server.Stop();
  return result;
}
