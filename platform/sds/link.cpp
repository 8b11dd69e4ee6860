// The older host's link loop. The plug-in's SDS_EntryPoint never returns: it
// calls sds_link with the status of its last request and gets the next one.
// Here it runs on a thread of its own; the host thread hands over one request
// at a time and waits, so the two never run at once.
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/sds/host.h"
#include "platform/sds/runtime_state.h"

namespace sds_host {

struct LinkLoop::State {
  std::mutex mutex;
  std::condition_variable cv;
  std::thread thread;
  bool has_request = false;
  int request = 0;
  bool has_status = false;
  int status = 0;
  bool ended = false;
  bool exited = false;
  int exit_status = 0;
  bool stopping = false;
};

namespace {

// Thrown through the plug-in's frames to end its thread cleanly.
struct LinkExit {
  int status;
  bool by_plugin;
};

thread_local LinkLoop::State* current_link = nullptr;

}  // namespace

LinkLoop::LinkLoop() : state_(std::make_shared<State>()) {}

LinkLoop::~LinkLoop() { Stop(); }

bool LinkLoop::Start(std::function<void()> entry) {
  Stop();
  state_ = std::make_shared<State>();
  std::shared_ptr<State> st = state_;
  st->thread = std::thread([st, entry = std::move(entry)] {
    current_link = st.get();
    try {
      entry();
    } catch (const LinkExit& e) {
      std::lock_guard lock(st->mutex);
      st->exited = e.by_plugin;
      st->exit_status = e.status;
    } catch (...) {
      // An escaping exception would end the process; the loop just ends.
    }
    std::lock_guard lock(st->mutex);
    st->ended = true;
    st->cv.notify_all();
  });
  std::unique_lock lock(st->mutex);
  st->cv.wait(lock, [&] { return st->has_status || st->ended; });
  return !st->ended;
}

int LinkLoop::Request(int request) {
  std::shared_ptr<State> st = state_;
  std::unique_lock lock(st->mutex);
  if (st->ended || !st->thread.joinable()) return kEnded;
  st->has_status = false;
  st->request = request;
  st->has_request = true;
  st->cv.notify_all();
  st->cv.wait(lock, [&] { return st->has_status || st->ended; });
  return st->has_status ? st->status : kEnded;
}

int LinkLoop::FailNextLink(int code) { return Request(code < 0 ? code : -1); }

void LinkLoop::Stop() {
  std::shared_ptr<State> st = state_;
  if (!st || !st->thread.joinable()) return;
  {
    std::lock_guard lock(st->mutex);
    st->stopping = true;
    st->cv.notify_all();
  }
  st->thread.join();
}

bool LinkLoop::Running() const {
  std::lock_guard lock(state_->mutex);
  return state_->thread.joinable() && !state_->ended;
}

int LinkLoop::exit_status() const {
  std::lock_guard lock(state_->mutex);
  return state_->exit_status;
}

}  // namespace sds_host

extern "C" {

int sds_init(int argc, wchar_t* argv[]) {
  if (argc >= 1 && argv != nullptr && argv[0] != nullptr && *argv[0] != 0) {
    sds_host::State().app_name = argv[0];
  }
  return RTNORM;
}

int sds_link(int status) {
  sds_host::LinkLoop::State* st = sds_host::current_link;
  if (st == nullptr) return RTERROR;  // not called from a link loop's thread
  std::unique_lock lock(st->mutex);
  st->status = status;
  st->has_status = true;
  st->cv.notify_all();
  st->cv.wait(lock, [&] { return st->has_request || st->stopping; });
  if (st->stopping) throw sds_host::LinkExit{0, false};
  st->has_request = false;
  return st->request;
}

void sds_exit(int status) {
  if (sds_host::current_link != nullptr) throw sds_host::LinkExit{status, true};
  std::exit(status);
}

}  // extern "C"
