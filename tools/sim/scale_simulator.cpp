#include "tools/sim/scale_simulator.h"

#include "station/scale/scale_protocol.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace corvel {
namespace {

constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kDc1 = 0x11;
constexpr char kNak = 0x15;

std::runtime_error SystemError(const char* what) {
  return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// Wakes the answering thread; a full pipe already wakes it, so a failed write is fine.
void Poke(int fd, char why) {
  if (fd >= 0 && write(fd, &why, 1) < 0) {
  }
}

// Printable form of bytes for the log.
std::string Visible(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace

ScaleSimulator::ScaleSimulator() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw SystemError("posix_openpt");
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    const auto error = SystemError("pty set-up");
    close(master_);
    throw error;
  }
  devicePath_ = name;
  // Holding the slave open keeps the master readable while the station has the port
  // closed (a master whose slave is closed reports a hang-up on every poll).
  slaveHold_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHold_ < 0 || pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    const auto error = SystemError("pty set-up");
    CloseLine();
    throw error;
  }
  termios raw{};
  tcgetattr(slaveHold_, &raw);
  cfmakeraw(&raw);
  cfsetispeed(&raw, B9600);
  cfsetospeed(&raw, B9600);
  tcsetattr(slaveHold_, TCSANOW, &raw);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  readings_.push_back(ScaleReading{});
}

ScaleSimulator::~ScaleSimulator() {
  Stop();
  CloseLine();
  for (int& fd : wake_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void ScaleSimulator::SetProtocol(std::unique_ptr<ScaleProtocol> protocol,
                                 std::chrono::milliseconds every) {
  protocol_ = std::move(protocol);
  every_ = std::max(every, std::chrono::milliseconds(1));
}

void ScaleSimulator::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { Loop(); });
}

void ScaleSimulator::Run() {
  stop_ = false;
  Loop();
}

void ScaleSimulator::Stop() {
  stop_ = true;
  Poke(wake_[1], 's');
  if (thread_.joinable()) thread_.join();
}

void ScaleSimulator::SetReadings(std::vector<ScaleReading> readings) {
  std::lock_guard lock(mutex_);
  readings_.assign(readings.begin(), readings.end());
  if (readings_.empty()) readings_.push_back(ScaleReading{});
}

void ScaleSimulator::AddReadings(const std::vector<ScaleReading>& readings) {
  std::lock_guard lock(mutex_);
  readings_.insert(readings_.end(), readings.begin(), readings.end());
}

void ScaleSimulator::SetMode(ScaleAnswerMode mode, std::string ackExtra) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
  ackExtra_ = std::move(ackExtra);
}

void ScaleSimulator::SetAnswerDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  delay_ = delay;
}

void ScaleSimulator::SetEmulateBaud(bool on) {
  std::lock_guard lock(mutex_);
  emulateBaud_ = on;
}

void ScaleSimulator::SetVanishAfterFrames(int frames) {
  std::lock_guard lock(mutex_);
  vanishAfter_ = frames;
}

std::size_t ScaleSimulator::SendNow(const std::string& bytes) {
  const ssize_t sent = master_ >= 0 ? write(master_, bytes.data(), bytes.size()) : -1;
  return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

void ScaleSimulator::Vanish() {
  if (!thread_.joinable()) {
    CloseLine();
    return;
  }
  // Closing the descriptors under the answering thread's feet would race its poll;
  // it closes them itself when woken.
  vanishNow_ = true;
  Poke(wake_[1], 'v');
  while (!vanished_ && thread_.joinable() && !stop_)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::chrono::steady_clock::time_point ScaleSimulator::LastFrameSentAt() const {
  std::lock_guard lock(mutex_);
  return lastFrameAt_;
}

void ScaleSimulator::Loop() {
  const bool streams = protocol_ && protocol_->Streams();
  auto nextAt = std::chrono::steady_clock::now();
  while (!stop_ && !vanished_) {
    if (vanishNow_.exchange(false)) {
      CloseLine();
      break;
    }
    int timeoutMs = -1;
    if (streams) {
      const auto left = nextAt - std::chrono::steady_clock::now();
      if (left <= std::chrono::nanoseconds::zero()) {
        SendReading();
        nextAt += every_;
        // A scale that fell behind (a loaded machine) does not send a burst to catch up.
        nextAt = std::max(nextAt, std::chrono::steady_clock::now());
        continue;
      }
      timeoutMs = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents & POLLIN) {
      char drain[16];
      while (read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    if (fds[0].revents & POLLIN) {
      char requests[256];
      const ssize_t n = read(master_, requests, sizeof requests);
      if (protocol_ && n > 0) {
        Hear(std::string_view(requests, static_cast<std::size_t>(n)));
        continue;
      }
      for (ssize_t i = 0; i < n && !stop_ && !vanished_; ++i)
        Handle(requests[i]);
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      Pause(std::chrono::milliseconds(10));  // nobody on the line; do not spin
    }
  }
}

void ScaleSimulator::Hear(std::string_view bytes) {
  if (verbose_) std::fprintf(stderr, "scale: got %s\n", Visible(bytes).c_str());
  const std::string request = protocol_->Request(0);
  if (request.empty() || protocol_->Streams()) return;
  heard_.append(bytes);
  for (std::size_t at = heard_.find(request); at != std::string::npos && !stop_ && !vanished_;
       at = heard_.find(request)) {
    heard_.erase(0, at + request.size());
    ++enqCount_;
    SendReading();
  }
  if (heard_.size() > 4096) heard_.erase(0, heard_.size() - request.size());
}

std::optional<ScaleSimulator::Turn> ScaleSimulator::TakeTurn() {
  std::lock_guard lock(mutex_);
  if (vanishAfter_ == 0) {
    CloseLine();
    if (verbose_) std::fprintf(stderr, "scale: line closed\n");
    return std::nullopt;
  }
  return Turn{mode_, ackExtra_, delay_, emulateBaud_};
}

void ScaleSimulator::SendReading() {
  const std::optional<Turn> turn = TakeTurn();
  if (!turn || turn->mode == ScaleAnswerMode::Silent) return;
  if (turn->delay.count() > 0 && !Pause(turn->delay)) return;
  std::string bytes;
  if (turn->mode == ScaleAnswerMode::Junk) {
    bytes = "\x15?# no reading\r\n";  // neither a line that reads nor a report
  } else {
    const ScaleReading reading = NextReading();
    bytes = reading.raw ? *reading.raw
                        : protocol_->Send({reading.stable, reading.overloaded, reading.weight});
  }
  const auto sentAt = Send(bytes);
  std::lock_guard lock(mutex_);
  lastFrameAt_ = sentAt;
  ++framesSent_;
  if (vanishAfter_ > 0) --vanishAfter_;
}

void ScaleSimulator::Handle(char request) {
  if (verbose_)
    std::fprintf(stderr, "scale: got %s\n", Visible(std::string_view(&request, 1)).c_str());
  if (request != kEnq && request != kDc1) return;
  (request == kEnq ? enqCount_ : dc1Count_)++;

  const std::optional<Turn> turn = TakeTurn();
  if (!turn) return;
  const ScaleAnswerMode mode = turn->mode;
  // The request itself takes a character's time to arrive on a real line.
  if (turn->baud && !Pause(kCharTime9600)) return;
  if (mode == ScaleAnswerMode::Silent) return;
  if (turn->delay.count() > 0 && !Pause(turn->delay)) return;

  if (request == kEnq) {
    if (mode == ScaleAnswerMode::Junk)
      Send(std::string{kNak, '?', '#'});
    else if (mode == ScaleAnswerMode::AckExtra)
      Send(std::string(1, kAck) + turn->ackExtra);
    else
      Send(std::string(1, kAck));
    return;
  }
  const std::string frame = BuildScaleFrame(NextReading());
  const auto sentAt = Send(frame);
  std::lock_guard lock(mutex_);
  lastFrameAt_ = sentAt;
  ++framesSent_;
  if (vanishAfter_ > 0) --vanishAfter_;
}

std::chrono::steady_clock::time_point ScaleSimulator::Send(const std::string& text) {
  auto lastWriteAt = std::chrono::steady_clock::now();
  if (verbose_) std::fprintf(stderr, "scale: sent %s\n", Visible(text).c_str());
  bool baud;
  {
    std::lock_guard lock(mutex_);
    baud = emulateBaud_;
  }
  const auto start = std::chrono::steady_clock::now();
  std::size_t sent = 0;
  while (sent < text.size() && !stop_ && master_ >= 0) {
    // At line speed each character is handed over once it has fully arrived.
    if (baud && !PauseUntil(start + kCharTime9600 * static_cast<int>(sent + 1))) break;
    const std::size_t chunk = baud ? 1 : text.size() - sent;
    lastWriteAt = std::chrono::steady_clock::now();
    const ssize_t n = write(master_, text.data() + sent, chunk);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EAGAIN && protocol_ && protocol_->Streams()) {
      break;  // nobody reads the stream: a scale sends on and the reading is lost
    } else if ((n < 0 && errno != EAGAIN && errno != EINTR) ||
               !Pause(std::chrono::milliseconds(1))) {
      break;
    }
  }
  return lastWriteAt;
}

bool ScaleSimulator::Pause(std::chrono::nanoseconds duration) {
  return PauseUntil(std::chrono::steady_clock::now() + duration);
}

bool ScaleSimulator::PauseUntil(std::chrono::steady_clock::time_point until) {
  while (!stop_) {
    const auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds::zero()) return true;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>((left - seconds).count())};
    // Sleeps on the wake pipe without draining it, so Stop() ends the pause at once.
    pollfd wake{wake_[0], POLLIN, 0};
    if (ppoll(&wake, 1, &timeout, nullptr) > 0 && stop_) return false;
    if (wake.revents & POLLIN)
      std::this_thread::sleep_for(
          std::min<std::chrono::nanoseconds>(left, std::chrono::microseconds(200)));
  }
  return false;
}

void ScaleSimulator::CloseLine() {
  if (master_ >= 0) close(master_);
  if (slaveHold_ >= 0) close(slaveHold_);
  master_ = slaveHold_ = -1;
  vanished_ = true;
}

ScaleReading ScaleSimulator::NextReading() {
  std::lock_guard lock(mutex_);
  if (readings_.empty()) return ScaleReading{};
  ScaleReading reading = readings_.front();
  if (readings_.size() > 1) readings_.pop_front();
  return reading;
}

}  // namespace corvel
