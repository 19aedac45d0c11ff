#include "net/name_lookup.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace crewmap::net {

std::vector<std::string> ResolveWithSystem(const std::string& name) {
#ifdef _WIN32
  // The system answers only once Winsock is started, which Qt may not have
  // done yet; the start is counted, so this pair leaves Qt's own alone.
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return {};
#endif
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  // Only families the machine has an address of, as Qt's own lookup asks.
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* list = nullptr;
  int result = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (result == EAI_BADFLAGS) {
    hints.ai_flags = 0;
    result = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  }
  std::vector<std::string> addresses;
  if (result == 0) {
    for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
      char text[NI_MAXHOST];
      if (getnameinfo(entry->ai_addr, static_cast<socklen_t>(entry->ai_addrlen), text, sizeof text, nullptr, 0,
                      NI_NUMERICHOST) != 0)
        continue;
      if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) addresses.emplace_back(text);
    }
    freeaddrinfo(list);
  }
#ifdef _WIN32
  WSACleanup();
#endif
  return addresses;
}

// What the lookup thread and its NameLookup share; the thread holds it too,
// so it stays valid however long the lookup takes.
struct NameLookup::Shared {
  std::mutex mutex;
  QObject* receiver = nullptr;  // cleared under the mutex when the NameLookup goes
  Done done;                    // called on the receiver's thread only

  // Hands the answer to the receiver's thread, unless the asker has gone.
  // Posting under the mutex: the receiver cannot go meanwhile.
  static void Deliver(const std::shared_ptr<Shared>& shared, std::vector<std::string> addresses) {
    std::lock_guard lock(shared->mutex);
    if (!shared->receiver) return;
    QMetaObject::invokeMethod(
        shared->receiver,
        [shared, addresses = std::move(addresses)] {
          Done done;
          {
            std::lock_guard lock(shared->mutex);
            if (!shared->receiver) return;
            done = shared->done;  // a copy: `done` may end this lookup
          }
          done(addresses);
        },
        Qt::QueuedConnection);
  }
};

NameLookup::NameLookup(const std::string& name, NameResolver resolver, QObject* receiver, Done done)
    : shared_(std::make_shared<Shared>()) {
  shared_->receiver = receiver;
  shared_->done = std::move(done);
  try {
    std::thread([shared = shared_, name, resolver = std::move(resolver)] {
      Shared::Deliver(shared, resolver(name));
    }).detach();
  } catch (const std::system_error&) {
    Shared::Deliver(shared_, {});  // no thread to be had: as a name without an address
  }
}

NameLookup::~NameLookup() {
  std::lock_guard lock(shared_->mutex);
  shared_->receiver = nullptr;
}

}  // namespace crewmap::net
