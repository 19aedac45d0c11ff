#include "net/router_worker.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace crewmap::net {
namespace {

constexpr int kRetrySeconds = 60;

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

  // Runs `call` on the owner's thread later, unless the owner has gone.
  template <typename Call>
  void Post(Call call) {
    std::lock_guard lock(mutex);
    if (owner) QMetaObject::invokeMethod(owner, std::move(call), Qt::QueuedConnection);
  }
};

RouterWorker::RouterWorker(MappingRequest request, std::function<void(const RouterReport&)> opened,
                           std::function<void()> renewalFailed, QObject* parent)
    : QObject(parent),
      shared_(std::make_shared<Shared>()),
      request_(std::move(request)),
      opened_(std::move(opened)),
      renewalFailed_(std::move(renewalFailed)) {
  shared_->owner = this;
}

RouterWorker::~RouterWorker() { Stop(kStopWaitMs); }

void RouterWorker::Start() {
  if (shared_->thread.joinable()) return;
  shared_->thread = std::thread([shared = shared_, request = request_] {
    PortMapping mapping;
    {
      std::unique_lock lock(shared->mutex);
      if (shared->stop) {
        shared->done = true;
        shared->wake.notify_all();
        return;
      }
    }
    const RouterReport report = mapping.Open(request);
    shared->Post([shared, report] {
      if (shared->owner && shared->owner->opened_) shared->owner->opened_(report);
    });
    bool refused = false;
    for (;;) {
      // After a refusal the router is asked again soon, before the lease runs out.
      const int seconds = refused ? std::min(kRetrySeconds, mapping.RenewAfterSeconds()) : mapping.RenewAfterSeconds();
      std::unique_lock lock(shared->mutex);
      if (seconds == 0)
        shared->wake.wait(lock, [&] { return shared->stop; });
      else
        shared->wake.wait_for(lock, std::chrono::seconds(seconds), [&] { return shared->stop; });
      if (shared->stop) break;
      lock.unlock();
      const bool wasRefused = refused;
      refused = !mapping.Renew();
      if (refused && !wasRefused)  // one row for a run of refusals
        shared->Post([shared] {
          if (shared->owner && shared->owner->renewalFailed_) shared->owner->renewalFailed_();
        });
    }
    mapping.Close();
    std::lock_guard lock(shared->mutex);
    shared->done = true;
    shared->wake.notify_all();
  });
}

void RouterWorker::Stop(int waitMs) {
  std::unique_lock lock(shared_->mutex);
  shared_->owner = nullptr;
  shared_->stop = true;
  shared_->wake.notify_all();
  if (!shared_->thread.joinable()) return;
  const bool finished =
      shared_->wake.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared_->done; });
  lock.unlock();
  if (finished)
    shared_->thread.join();
  else
    shared_->thread.detach();
}

}  // namespace crewmap::net
