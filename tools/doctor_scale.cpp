// The check of "corvel doctor" on the scale: the protocol and device the station would
// use, and one reading when the device answers within the station's wait.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cerrno>
#include <cstring>
#include <string>

#include "common/regular_file.h"
#include "platform/serial_line.h"
#include "station/scale_link.h"
#include "station/scale_settings.h"
#include "station/station_setup.h"
#include "tools/doctor_checks.h"

namespace corvel::tools {
namespace {

// The check writes the protocol's requests: only ever into a device, a character
// device, never into a file (or a pipe) that the settings name by mistake, whose first
// bytes it would overwrite.
bool IsDevice(mode_t mode) {
  return S_ISCHR(mode);
}

speed_t Speed(int baud) {
  switch (baud) {
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B9600;
  }
}

void SetLine(int fd, const SerialLineSettings& line) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return;
  cfmakeraw(&tio);
  cfsetispeed(&tio, Speed(line.baud));
  cfsetospeed(&tio, Speed(line.baud));
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
  tio.c_cflag |= (line.dataBits == 5   ? CS5
                  : line.dataBits == 6 ? CS6
                  : line.dataBits == 7 ? CS7
                                       : CS8);
  if (line.parity != SerialParity::None) tio.c_cflag |= PARENB;
  if (line.parity == SerialParity::Odd) tio.c_cflag |= PARODD;
  if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd, TCSANOW, &tio);
  tcflush(fd, TCIFLUSH);
}

// One poll as the link makes it, with blocking waits: the reading, or nothing.
// `heard` counts the bytes that came.
std::optional<ScaleFrame> PollOnce(int fd, const ScaleProtocol& protocol, std::size_t& heard) {
  std::string received;
  for (int step = 0;; ++step) {
    const std::string request = protocol.Request(step);
    if (!request.empty() && write(fd, request.data(), request.size()) != ssize_t(request.size()))
      return std::nullopt;
    QElapsedTimer waited;
    waited.start();
    while (!protocol.Whole(step, received)) {
      const qint64 left = ScaleLink::kAnswerWaitMs - waited.elapsed();
      pollfd wait{fd, POLLIN, 0};
      if (left <= 0 || poll(&wait, 1, static_cast<int>(left)) != 1) break;
      char bytes[512];
      const ssize_t n = read(fd, bytes, sizeof bytes);
      if (n <= 0) break;
      heard += static_cast<std::size_t>(n);
      received.append(bytes, static_cast<std::size_t>(n));
    }
    const ScaleAnswer answer = protocol.Read(step, received);
    if (answer.kind == ScaleAnswer::Kind::Reading) return answer.reading;
    if (answer.kind == ScaleAnswer::Kind::Nothing) return std::nullopt;
  }
}

}  // namespace

void CheckScale(DoctorReport& report, const DoctorSetUp& setUp) {
  const ScaleChoice choice = ReadScaleChoice(setUp.settings);
  for (const std::string& problem : choice.problems)
    report.Warn("scale: " + problem);
  std::string device = choice.device, from = "ScaleDevice";
  if (device.empty()) {
    const std::string comport = kPortKey.Read(setUp.settings);
    const PortChoice port = PortNumberFromText(comport);
    if (!port.problem.empty()) {
      report.Warn("scale: COMPORT=" + comport + ": " + port.problem);
      return;
    }
    device = SerialDeviceForPort(setUp.settings, port.number).toStdString();
    from = "COM" + std::to_string(port.number);
  }
  const ScaleProtocol& protocol = *choice.protocol;
  const SerialLineSettings line = protocol.Line();
  const std::string how = std::string(protocol.Name()) + " " + DescribeLine(line);
  const std::string name = "scale on " + device + " (" + from + ")";
  struct stat info {};
  if (stat(device.c_str(), &info) != 0) {
    report.Warn(name + ": no such device (a station may run without a scale)");
    return;
  }
  const auto notADevice = [&](mode_t mode) {
    report.Warn(name + ": is " + FileKind(mode) + ", not a " +
                (line.terminal ? "serial device" : "device") + "; not opened (set " + from +
                " to the scale's device)");
  };
  if (!IsDevice(info.st_mode)) {
    notADevice(info.st_mode);
    return;
  }
  const int fd =
      open(device.c_str(), (line.terminal ? O_RDWR : O_RDONLY) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    report.Warn(name + ": cannot be opened: " + std::strerror(errno) +
                (line.terminal ? "" : " (see docs/scale.md for the udev rule)"));
    return;
  }
  if (fstat(fd, &info) != 0 || !IsDevice(info.st_mode)) {  // replaced since looked at
    close(fd);
    notADevice(info.st_mode);
    return;
  }
  if (line.terminal) SetLine(fd, line);
  std::size_t heard = 0;
  const std::optional<ScaleFrame> reading = PollOnce(fd, protocol, heard);
  close(fd);
  if (reading) {
    const std::string shown =
        EvaluateScaleFrame(*reading, "", false, false).weightText.value_or("");
    report.Ok(name + ": " + how + ", reads " +
              (shown.empty() ? "a load in motion" : "\"" + shown + "\""));
  } else if (heard == 0) {
    report.Warn(name + ": " + how +
                ", opens, but nothing answers within a second (is the scale on?)");
  } else {
    report.Warn(name + ": " + how + ", answers, but the " + std::to_string(heard) +
                " bytes of a second hold no reading (is ScaleProtocol right?)");
  }
}

}  // namespace corvel::tools
