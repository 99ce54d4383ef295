#include "station/scale_link.h"

#include <exception>
#include <limits>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/settings_sections.h"
#include "station/scale_settings.h"
#include "station/station_setup.h"
#include "station/station_window.h"

namespace corvel {
namespace {

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

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
    : QObject(parent),
      view_(view),
      timer1_(timer1),
      settings_(settings),
      portNumber_(portNumber),
      protocol_(MakeEnqProtocol()) {
  waitTimer_.setSingleShot(true);
  waitTimer_.setTimerType(Qt::PreciseTimer);
  connect(&waitTimer_, &QTimer::timeout, this, &ScaleLink::OnWaitOver);
  connect(&line_, &SerialLine::readyRead, this, &ScaleLink::OnReadyRead);
  connect(&line_, &SerialLine::failed, this, &ScaleLink::OnLineFailed);
}

void ScaleLink::OnTimerTick() {
  if (step_ >= 0) return;  // polls never overlap on the line
  QString port = QStringLiteral("COM%1").arg(portNumber_);
  if (!line_.IsOpen()) {
    QString device;
    QString notes;
    try {
      // The settings are read again at each opening, so a changed protocol or device
      // takes effect when "Scales Connected" is ticked again.
      ScaleChoice choice = ReadScaleChoice(settings_);
      protocol_ = std::move(choice.protocol);
      received_.clear();
      for (const std::string& problem : choice.problems) {
        const QString text = QString::fromStdString(problem);
        if (reported_.contains(text)) continue;  // each bad value is said once
        reported_ << text;
        notes += QStringLiteral("; ") + text;
      }
      device = SerialDeviceForPort(settings_, portNumber_);
      if (!choice.device.empty()) {
        device = QString::fromStdString(choice.device);
        port = QStringLiteral("ScaleDevice");  // the device is named, not the port
      }
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
      line_.Open(device, protocol_->Line());
    } catch (const Failure& error) {
      Fail(QStringLiteral("off: cannot open %1, %2")
               .arg(port, QString::fromStdString(error.what())) +
           notes);
      return;
    }
    // The station's own protocol at its own line settings goes without saying.
    const SerialLineSettings line = protocol_->Line();
    const QString how =
        protocol_->Name() == "enq" && line == SerialLineSettings{}
            ? QString()
            : QStringLiteral(", %1 %2").arg(FromView(protocol_->Name()),
                                            QString::fromStdString(DescribeLine(line)));
    view_.SetScaleStatus(QStringLiteral("on %1 (%2%3)").arg(port, device, how) + notes);
  }
  if (!protocol_->Streams()) {
    // Characters still waiting answer an earlier poll that gave up on them; left there
    // they would shift this poll's frame and misread the weight.
    line_.DiscardInput();
    received_.clear();
  }
  StartStep(0);
}

QString ScaleLink::NoPortMessage() const {
  // The port number came from "COMPORT" (read at start-up, or saved from "On COM" as it
  // was left): name the key and what is wrong with its text, not the number it gave.
  try {
    if (const auto stored = settings_.Get(kStationSection, kPortKey.key)) {
      const PortChoice choice = PortNumberFromText(*stored);
      if (choice.number == portNumber_ && !choice.problem.empty()) {
        return QStringLiteral("off: \"%1\" (On COM) is \"%2\": %3")
            .arg(FromView(kPortKey.key), QString::fromStdString(*stored),
                 QString::fromStdString(choice.problem));
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
  received_.clear();
  if (step_ >= 0) {
    // The poll under way was talking to the port just closed.
    waitTimer_.stop();
    step_ = -1;
    emit pollFinished();
  }
}

void ScaleLink::OnLabelRefused(const QString& reason) {
  if (!view_.AutoprintChecked() || !timer1_.isActive()) return;  // not polling: no Autoprint
  Fail(QStringLiteral("off: Autoprint label failed: %1").arg(reason));
}

void ScaleLink::StartStep(int step) {
  step_ = step;
  const std::string request = protocol_->Request(step);
  if (!request.empty()) {
    try {
      line_.Write(QByteArray(request.data(), static_cast<qsizetype>(request.size())));
    } catch (const Failure& error) {
      Fail(QStringLiteral("off: %1").arg(QString::fromStdString(error.what())));
      return;
    }
  }
  waitStarted_.start();
  waitTimer_.start(answerWaitMs_);
  // A streaming scale's newest reading may be here already.
  if (!received_.empty() && AnswerWhole()) ReadAnswer();
}

bool ScaleLink::AnswerWhole() {
  // Looks without taking: what waits stays on the line until the answer is whole.
  if (line_.BytesAvailable() == 0) return protocol_->Whole(step_, received_);
  const QByteArray waiting = line_.Peek();
  return protocol_->Whole(step_, received_ + std::string(waiting.constData(), waiting.size()));
}

void ScaleLink::OnReadyRead() {
  if (step_ < 0) {
    // Between polls a streaming scale's lines are taken as they come, keeping only what
    // may still be the newest reading; a polled scale's late answers wait to be dropped.
    if (!protocol_->Streams()) return;
    const QByteArray bytes = line_.ReadAll();
    received_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    protocol_->Forget(received_);
    return;
  }
  if (AnswerWhole()) ReadAnswer();
}

void ScaleLink::OnWaitOver() {
  // The limit is elapsed monotonic time; should the timer ever fire early, wait on.
  const qint64 left = answerWaitMs_ - waitStarted_.elapsed();
  if (left > 0) {
    waitTimer_.start(static_cast<int>(left));
    return;
  }
  if (step_ >= 0) ReadAnswer();
}

void ScaleLink::ReadAnswer() {
  waitTimer_.stop();
  const QByteArray bytes = line_.ReadAll();
  received_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  const ScaleAnswer answer = protocol_->Read(step_, received_);
  skipped_ += answer.skipped;
  if (answer.kind == ScaleAnswer::Kind::Next)
    StartStep(step_ + 1);
  else if (answer.kind == ScaleAnswer::Kind::Reading)
    Evaluate(answer.reading);
  else
    EndPoll();
}

void ScaleLink::Evaluate(const ScaleFrame& reading) {
  const ScaleFrameOutcome outcome = EvaluateScaleFrame(reading, view_.WeightText().toStdString(),
                                                       armed_, view_.AutoprintChecked());
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
  step_ = -1;
  emit pollFinished();
}

void ScaleLink::OnLineFailed(const QString& message) {
  // Between polls the next tick reopens the port (and fails there if it is gone).
  if (step_ >= 0)
    Fail(QStringLiteral("off: %1").arg(message));
  else
    view_.SetScaleStatus(message);
}

void ScaleLink::Fail(const QString& message) {
  waitTimer_.stop();
  step_ = -1;
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
