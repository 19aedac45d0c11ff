// Test main for widget tests: a private Xvfb and a QApplication on it for the
// whole run, so windows are real X windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/private_network.h"
#include "support/xvfb_server.h"

int main(int argc, char** argv) {
  // Before any thread or server starts, so that all of them live in it.
  crewmap::test::EnterPrivateNetworkIfAsked();
  testing::InitGoogleTest(&argc, argv);
  crewmap::test::XvfbServer server;
  crewmap::test::EnsureTestDisplay(server);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    result = RUN_ALL_TESTS();
  }
  server.Stop();
  return result;
}
