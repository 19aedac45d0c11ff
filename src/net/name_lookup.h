#pragma once
// A host name looked up on a thread of its own that nobody waits for.
//
// The system's lookup blocks and cannot be called off: while name service
// does not answer it takes tens of seconds. On a pool that the application
// waits for as it ends (Qt's global pool, or the one behind Qt's own
// lookups) it would keep a closed program running that long. So each lookup
// runs on a detached thread that touches nothing but the resolver and a
// small state it shares with its NameLookup: an answer that comes after the
// NameLookup has gone is dropped, and a lookup still blocked when the
// program ends simply ends with it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace crewmap::net {

// The numeric addresses (text) of `name`, in the order the system gives
// them; none when the name has no address or the lookup failed. Called on
// the lookup thread, so it must touch nothing but its own data.
using NameResolver = std::function<std::vector<std::string>(const std::string& name)>;

// The system's resolver (getaddrinfo): the hosts file, then name service.
std::vector<std::string> ResolveWithSystem(const std::string& name);

class NameLookup {
 public:
  using Done = std::function<void(const std::vector<std::string>& addresses)>;

  // Starts resolving `name` (ASCII) with `resolver` and returns at once.
  // `done` runs later on `receiver`'s thread, unless this object has gone
  // by then. `receiver` must outlive this object.
  NameLookup(const std::string& name, NameResolver resolver, QObject* receiver, Done done);
  // Drops the answer, whenever it comes; never waits for the lookup.
  ~NameLookup();
  NameLookup(const NameLookup&) = delete;
  NameLookup& operator=(const NameLookup&) = delete;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace crewmap::net
