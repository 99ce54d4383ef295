#pragma once
// One connection to the print server with bounded waits, shared by the queue and the
// probe (platform/cups_queue.cpp). Internal to platform/.
#include <cups/cups.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/cups_queue.h"

namespace corvel {

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpCloser>;

// libcups' text for the last failure, for people: never "Success" or an errno that does
// not belong to it.
std::string LastError();

// The server libcups is pointed at, read afresh (CUPS_SERVER may have changed).
std::string ServerName();

// Connects to the print server; nothing (and `why` says so) when nothing listens there.
// `server` receives the server's name.
Http Connect(std::string& server, std::string& why);

// The queue's URI on the server it is reached through.
std::string QueueUri(const std::string& queue);

// Calls the hang handler (SetPrintServerHangHandler).
void PrintServerHung();

// Bounds every exchange on one connection, whatever libcups waits for inside it (its
// own waits can be a minute, and a failed exchange may be retried): a watchdog thread
// shuts the connection's socket down once an exchange has lasted kPrintServerTimeout,
// so the call fails at once.
class Watchdog {
 public:
  explicit Watchdog(http_t* http) : http_(http), thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // True when the last exchange ran out of time (until the next one begins).
  bool Fired() const {
    const std::lock_guard lock(mutex_);
    return fired_;
  }
  // The reason the last exchange failed: no answer in time, or libcups' own.
  std::string Why() const { return Fired() ? NoAnswerText() : LastError(); }

  // One exchange: from construction to destruction.
  class Exchange {
   public:
    explicit Exchange(Watchdog& dog) : dog_(dog) { dog_.Arm(true); }
    ~Exchange() { dog_.Arm(false); }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

   private:
    Watchdog& dog_;
  };

 private:
  void Arm(bool on) {
    {
      const std::lock_guard lock(mutex_);
      armed_ = on;
      if (on) fired_ = false;
      deadline_ = std::chrono::steady_clock::now() + kPrintServerTimeout;
    }
    wake_.notify_all();
  }
  void Watch() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (!armed_) {
        wake_.wait(lock);
      } else if (std::chrono::steady_clock::now() < deadline_) {
        wake_.wait_until(lock, deadline_);
      } else {
        // Also ends the reconnections libcups may try while the exchange lasts.
        const int fd = httpGetFd(http_);
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
        const auto now = std::chrono::steady_clock::now();
        if (!fired_) {
          fired_ = true;
          firedAt_ = now;
        } else if (!hung_ && now - firedAt_ > kPrintServerTimeout) {
          // The call goes on with its connection shut: libcups is waiting on something
          // no connection bounds. The hard bound ends it.
          hung_ = true;
          lock.unlock();
          PrintServerHung();
          lock.lock();
        }
        wake_.wait_for(lock, std::chrono::milliseconds(50));
      }
    }
  }

  http_t* http_;
  mutable std::mutex mutex_;
  bool fired_ = false;
  bool hung_ = false;
  std::chrono::steady_clock::time_point firedAt_;
  std::condition_variable wake_;
  bool armed_ = false;
  bool stop_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};

}  // namespace corvel
