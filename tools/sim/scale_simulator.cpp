#include "tools/sim/scale_simulator.h"

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

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == 'r') {
      out += '\r';
    } else if (next == 'n') {
      out += '\n';
    } else if (next == 'x' && i + 2 < text.size() &&
               std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += next;  // "\\" and any other escaped character stand for themselves
    }
  }
  return out;
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

std::vector<ScaleReading> ParseScaleReading(std::string_view token) {
  if (token.starts_with("raw:")) {
    ScaleReading reading;
    reading.raw = Unescape(token.substr(4));
    return {reading};
  }
  int count = 1;
  if (const auto x = token.rfind('x'); x != std::string_view::npos && x + 1 < token.size()) {
    const std::string digits(token.substr(x + 1));
    if (digits.find_first_not_of("0123456789") == std::string::npos) {
      if (digits.size() > 6) throw std::invalid_argument("repeat count too large: " + digits);
      count = std::stoi(digits);
      if (count < 1) throw std::invalid_argument("repeat count must be at least 1");
      token = token.substr(0, x);
    }
  }
  ScaleReading reading;
  std::size_t pos = 0;
  for (; pos < token.size(); ++pos) {
    const char flag = token[pos];
    if (flag == 'm' || flag == 'M')
      reading.stable = false;
    else if (flag == 'f' || flag == 'F')
      reading.overloaded = true;
    else if (flag != 's' && flag != 'S')
      break;
  }
  reading.weight = std::string(token.substr(pos));
  if (reading.weight.empty()) {
    if (!reading.overloaded)
      throw std::invalid_argument("no weight in '" + std::string(token) + "'");
    reading.weight = "------";
  }
  if (reading.weight.size() > 6)
    throw std::invalid_argument("weight '" + reading.weight + "' is longer than six characters");
  return std::vector<ScaleReading>(static_cast<std::size_t>(count), reading);
}

std::string BuildScaleFrame(const ScaleReading& reading) {
  if (reading.raw) return *reading.raw;
  std::string frame = "\x02 ";
  frame += reading.stable ? 'S' : 'M';
  frame += reading.overloaded ? 'F' : ' ';
  frame += std::string(6 - std::min<std::size_t>(6, reading.weight.size()), ' ');
  frame += reading.weight.substr(0, 6);
  frame += " kg  \r";
  return frame;
}

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
  while (!stop_ && !vanished_) {
    if (vanishNow_.exchange(false)) {
      CloseLine();
      break;
    }
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
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
      for (ssize_t i = 0; i < n && !stop_ && !vanished_; ++i)
        Handle(requests[i]);
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      Pause(std::chrono::milliseconds(10));  // nobody on the line; do not spin
    }
  }
}

void ScaleSimulator::Handle(char request) {
  if (verbose_)
    std::fprintf(stderr, "scale: got %s\n", Visible(std::string_view(&request, 1)).c_str());
  if (request != kEnq && request != kDc1) return;
  (request == kEnq ? enqCount_ : dc1Count_)++;

  ScaleAnswerMode mode;
  std::string ackExtra;
  std::chrono::milliseconds delay;
  bool baud;
  {
    std::lock_guard lock(mutex_);
    if (vanishAfter_ == 0) {
      CloseLine();
      if (verbose_) std::fprintf(stderr, "scale: line closed\n");
      return;
    }
    mode = mode_;
    ackExtra = ackExtra_;
    delay = delay_;
    baud = emulateBaud_;
  }
  // The request itself takes a character's time to arrive on a real line.
  if (baud && !Pause(kCharTime9600)) return;
  if (mode == ScaleAnswerMode::Silent) return;
  if (delay.count() > 0 && !Pause(delay)) return;

  if (request == kEnq) {
    if (mode == ScaleAnswerMode::Junk)
      Send(std::string{kNak, '?', '#'});
    else if (mode == ScaleAnswerMode::AckExtra)
      Send(std::string(1, kAck) + ackExtra);
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
