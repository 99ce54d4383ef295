#include "station/scale_link.h"

#include <exception>
#include <limits>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/settings_sections.h"
#include "station/scale_frame.h"
#include "station/station_window.h"

namespace corvel {

PortChoice PortNumberFromText(std::string_view text) {
  PortChoice choice;
  double value = 0;
  try {
    value = ReadLeadingNumber(text);
  } catch (const OverflowError&) {
    choice.problem = "its number is too large for a port number";
    return choice;
  }
  const double rounded = RoundHalfEven(value);
  if (!(rounded <= std::numeric_limits<int>::max())) {
    choice.problem = GeneralNumber(value) + " is too large for a port number";
  } else if (!(rounded >= 1)) {
    choice.problem = "port numbers start at 1";
    if (rounded >= std::numeric_limits<int>::min()) choice.number = static_cast<int>(rounded);
  } else {
    choice.number = static_cast<int>(rounded);
  }
  return choice;
}

ScaleLink::ScaleLink(ScaleView& view, QTimer& timer1, const SettingsStore& settings, int portNumber,
                     QObject* parent)
    : QObject(parent), view_(view), timer1_(timer1), settings_(settings), portNumber_(portNumber) {
  waitTimer_.setSingleShot(true);
  waitTimer_.setTimerType(Qt::PreciseTimer);
  connect(&waitTimer_, &QTimer::timeout, this, &ScaleLink::OnWaitOver);
  connect(&line_, &SerialLine::readyRead, this, &ScaleLink::OnReadyRead);
  connect(&line_, &SerialLine::failed, this, &ScaleLink::OnLineFailed);
}

void ScaleLink::OnTimerTick() {
  if (state_ != State::Idle) return;  // polls never overlap on the line
  const QString port = QStringLiteral("COM%1").arg(portNumber_);
  if (!line_.IsOpen()) {
    QString device;
    try {
      device = SerialDeviceForPort(settings_, portNumber_);
    } catch (const std::exception& error) {
      // Unreadable settings switch polling off and say why; they never end the program.
      Fail(QStringLiteral("off: the device of %1 cannot be read from the settings: %2")
               .arg(port, QString::fromStdString(error.what())));
      return;
    }
    if (device.isEmpty()) {
      Fail(NoPortMessage());
      return;
    }
    try {
      line_.Open(device);
    } catch (const Failure& error) {
      Fail(QStringLiteral("off: cannot open %1, %2")
               .arg(port, QString::fromStdString(error.what())));
      return;
    }
    view_.SetScaleStatus(QStringLiteral("on %1 (%2)").arg(port, device));
  }
  // Characters still waiting answer an earlier poll that gave up on them; left there
  // they would shift this poll's frame and misread the weight.
  line_.DiscardInput();
  try {
    line_.Write(QByteArray(1, kScaleEnq));
  } catch (const Failure& error) {
    Fail(QStringLiteral("off: %1").arg(QString::fromStdString(error.what())));
    return;
  }
  StartWait(State::WaitingForAck);
}

QString ScaleLink::NoPortMessage() const {
  // The port number came from "COMPORT" (read at start-up, or saved from "On COM" as it
  // was left): name the key and what is wrong with its text, not the number it gave.
  try {
    if (const auto stored = settings_.Get(kStationSection, "COMPORT")) {
      const PortChoice choice = PortNumberFromText(*stored);
      if (choice.number == portNumber_ && !choice.problem.empty()) {
        return QStringLiteral("off: \"COMPORT\" (On COM) is \"%1\": %2")
            .arg(QString::fromStdString(*stored), QString::fromStdString(choice.problem));
      }
    }
  } catch (const std::exception&) {
    // An unreadable store is reported by the window; the number is all there is here.
  }
  return QStringLiteral("off: port number %1 names no serial port").arg(portNumber_);
}

void ScaleLink::OnScalesConnectedClicked(bool checked) {
  if (checked) {
    view_.SetScaleStatus({});
    timer1_.start(kPollIntervalMs);
  } else {
    timer1_.stop();
  }
}

void ScaleLink::OnPortNumberChanged(int portNumber) {
  portNumber_ = portNumber;
  line_.Close();
  if (state_ != State::Idle) {
    // The poll under way was talking to the port just closed.
    waitTimer_.stop();
    state_ = State::Idle;
    emit pollFinished();
  }
}

void ScaleLink::OnLabelRefused(const QString& reason) {
  if (!view_.AutoprintChecked() || !timer1_.isActive()) return;  // not polling: no Autoprint
  Fail(QStringLiteral("off: Autoprint label failed: %1").arg(reason));
}

void ScaleLink::StartWait(State state) {
  state_ = state;
  waitStarted_.start();
  waitTimer_.start(answerWaitMs_);
}

void ScaleLink::OnReadyRead() {
  if (state_ == State::WaitingForAck && line_.BytesAvailable() >= 1)
    ReadAck();
  else if (state_ == State::WaitingForFrame && line_.BytesAvailable() >= kScaleFrameLength)
    ReadFrame();
}

void ScaleLink::OnWaitOver() {
  // The limit is elapsed monotonic time; should the timer ever fire early, wait on.
  const qint64 left = answerWaitMs_ - waitStarted_.elapsed();
  if (left > 0) {
    waitTimer_.start(static_cast<int>(left));
    return;
  }
  if (state_ == State::WaitingForAck)
    ReadAck();
  else if (state_ == State::WaitingForFrame)
    ReadFrame();
}

void ScaleLink::ReadAck() {
  waitTimer_.stop();
  const QByteArray answer = line_.ReadAll();
  if (answer != QByteArray(1, kScaleAck)) {
    EndPoll();
    return;
  }
  try {
    line_.Write(QByteArray(1, kScaleDc1));
  } catch (const Failure& error) {
    Fail(QStringLiteral("off: %1").arg(QString::fromStdString(error.what())));
    return;
  }
  StartWait(State::WaitingForFrame);
}

void ScaleLink::ReadFrame() {
  waitTimer_.stop();
  const QByteArray frame = line_.ReadAll();
  const ScaleFrameOutcome outcome =
      EvaluateScaleFrame(ParseScaleFrame(std::string_view(frame.constData(), frame.size())),
                         view_.WeightText().toStdString(), armed_, view_.AutoprintChecked());
  if (outcome.weightText) view_.SetWeightText(QString::fromStdString(*outcome.weightText));
  if (outcome.print) {
    // The poll stays under way while the label prints, so no tick starts another.
    try {
      view_.PrintWeighedLabel();
    } catch (const std::exception& error) {
      Fail(QStringLiteral("off: Autoprint label failed: %1")
               .arg(QString::fromStdString(error.what())));
      return;
    }
  }
  armed_ = outcome.armed;
  EndPoll();
}

void ScaleLink::EndPoll() {
  waitTimer_.stop();
  state_ = State::Idle;
  emit pollFinished();
}

void ScaleLink::OnLineFailed(const QString& message) {
  // Between polls the next tick reopens the port (and fails there if it is gone).
  if (state_ != State::Idle)
    Fail(QStringLiteral("off: %1").arg(message));
  else
    view_.SetScaleStatus(message);
}

void ScaleLink::Fail(const QString& message) {
  waitTimer_.stop();
  state_ = State::Idle;
  timer1_.stop();
  view_.SetScalesConnected(false);
  view_.SetScaleStatus(message);
  emit pollFinished();
}

void ConnectScaleLink(StationWindow& window, ScaleLink& link) {
  QObject::connect(window.Timer1, &QTimer::timeout, &link, &ScaleLink::OnTimerTick);
  QObject::connect(window.Check3, &QCheckBox::clicked, &link, &ScaleLink::OnScalesConnectedClicked);
  QObject::connect(&window, &StationWindow::portNumberChanged, &link,
                   &ScaleLink::OnPortNumberChanged);
  QObject::connect(&window, &StationWindow::labelRefused, &link, &ScaleLink::OnLabelRefused);
}

}  // namespace corvel
