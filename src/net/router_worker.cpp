#include "net/router_worker.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "net/router_rules.h"

namespace crewmap::net {
namespace {

// Router threads that were still removing our mappings when their window
// stopped waiting. The process joins them as it ends, so none is cut off
// between adding a mapping and removing it.
class Unfinished {
 public:
  static Unfinished& Threads() {
    static Unfinished threads;
    return threads;
  }
  void Add(std::thread thread) {
    std::lock_guard lock(mutex_);
    threads_.push_back(std::move(thread));
  }
  ~Unfinished() {
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
};

}  // namespace

// What the thread and the window share. The thread holds it too, so a
// removal still under way when the window stops waiting finishes safely.
struct RouterWorker::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  bool done = false;
  RouterWorker* owner = nullptr;  // cleared under the mutex when the owner goes
  std::thread thread;

  bool Stopping() {
    std::lock_guard lock(mutex);
    return stop;
  }
  // Runs `call` on the owner's thread later, unless the owner has gone.
  template <typename Call>
  void Post(Call call) {
    std::lock_guard lock(mutex);
    if (owner) QMetaObject::invokeMethod(owner, std::move(call), Qt::QueuedConnection);
  }
};

RouterWorker::RouterWorker(MappingRequest request, Reports reports, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()), request_(std::move(request)), reports_(std::move(reports)) {
  shared_->owner = this;
}

RouterWorker::~RouterWorker() { Stop(kStopWaitMs); }

void RouterWorker::Start() {
  if (shared_->thread.joinable()) return;
  shared_->thread = std::thread([shared = shared_, request = request_, ipv6Now = reports_.ipv6Now] {
    using Clock = std::chrono::steady_clock;
    PortMapping mapping;
    const auto stopping = [&shared] { return shared->Stopping(); };
    // Between every two requests to the router the thread looks whether it
    // is to stop; whatever it had added by then is removed below.
    const RouterReport report = mapping.Open(request, stopping);
    shared->Post([shared, report] {
      if (shared->owner && shared->owner->reports_.opened) shared->owner->reports_.opened(report);
    });
    bool refused = false;
    auto renewalAt = [&] {
      const int seconds = mapping.RenewAfterSeconds(refused);
      return seconds == 0 ? Clock::time_point::max() : Clock::now() + std::chrono::seconds(seconds);
    };
    Clock::time_point renewal = renewalAt();
    Clock::time_point check = Clock::now() + std::chrono::seconds(SecondsUntilCheck(request.checkSeconds, true));
    for (;;) {
      {
        std::unique_lock lock(shared->mutex);
        shared->wake.wait_until(lock, std::min(renewal, check), [&] { return shared->stop; });
        if (shared->stop) break;
      }
      if (Clock::now() >= check) {
        const RouterCheck found = mapping.Check(ipv6Now ? ipv6Now() : request.ipv6Address, stopping);
        if (shared->Stopping()) break;
        check = Clock::now() +
                std::chrono::seconds(SecondsUntilCheck(request.checkSeconds, !found.silent && !found.unanswered));
        // A lease made by this check (again, or the first at all: a router
        // found only now, a mapping granted after refusals, a pinhole for a
        // new address) is renewed within half its time, as every other.
        renewal = std::min(renewal, renewalAt());
        if (!found.silent)
          shared->Post([shared, found] {
            if (shared->owner && shared->owner->reports_.checked) shared->owner->reports_.checked(found);
          });
      }
      if (Clock::now() >= renewal) {
        const bool wasRefused = refused;
        refused = !mapping.Renew();
        renewal = renewalAt();
        if (refused && !wasRefused)  // one row for a run of refusals
          shared->Post([shared] {
            if (shared->owner && shared->owner->reports_.renewalFailed) shared->owner->reports_.renewalFailed();
          });
      }
    }
    mapping.Close();
    std::lock_guard lock(shared->mutex);
    shared->done = true;
    shared->wake.notify_all();
  });
}

void RouterWorker::RequestStop() {
  std::lock_guard lock(shared_->mutex);
  shared_->owner = nullptr;
  shared_->stop = true;
  shared_->wake.notify_all();
}

void RouterWorker::Stop(int waitMs) {
  std::unique_lock lock(shared_->mutex);
  shared_->owner = nullptr;
  shared_->stop = true;
  shared_->wake.notify_all();
  if (!shared_->thread.joinable()) return;
  const bool finished =
      shared_->wake.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared_->done; });
  std::thread thread = std::move(shared_->thread);
  lock.unlock();
  if (finished)
    thread.join();
  else
    Unfinished::Threads().Add(std::move(thread));  // finishes its removal before the process ends
}

}  // namespace crewmap::net
