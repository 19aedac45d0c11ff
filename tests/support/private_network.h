#pragma once
// Tests that must use the program's fixed TCP port (21212) run in a network
// namespace of their own, so that another program on the machine holding
// that port cannot make them fail, and they cannot disturb it. The
// namespace holds only a loopback interface; it goes away with the last
// process in it (the test and what it started), also when the test fails.
#include <string>

namespace crewmap::test {

// Moves this process, and every process it starts afterwards, into a new
// network namespace with its loopback interface up. Call first thing in main,
// before any thread starts. Without the right (root, or user namespaces
// allowed to this user) the process stays where it is and `why` says so.
bool EnterPrivateNetwork(std::string& why);

// Entered when the environment variable CREWMAP_TEST_PRIVATE_NETWORK is set
// (CTest sets it for the tests that need the fixed port); says on standard
// error what happened.
void EnterPrivateNetworkIfAsked();

// Whether this process runs in a network namespace of its own, where a test
// may change the network (firewall rules, say) without touching the machine's.
bool InPrivateNetwork();

// Whether the test can listen on `port`: always in a private namespace; in
// the machine's own only while no other program holds it. `why` explains a
// refusal, for the test's skip message.
bool FixedPortUsable(int port, std::string& why);

}  // namespace crewmap::test
