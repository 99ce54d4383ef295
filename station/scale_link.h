#pragma once
// The scale link: polls the retail scale on each tick of the window's polling timer and
// shows the stable weight in the weight box, printing a label by itself ("Autoprint")
// once per new load after the scale has been seen empty.
//
// One poll is a small state machine driven by the event loop, its steps given by the
// scale's protocol (scale/scale_protocol.h): send the step's request, wait until the
// protocol finds the answer whole, read it; go on to the next step, or evaluate the
// reading (the ENQ protocol: ENQ, exactly one ACK, DC1, a frame of 15 or more
// characters). Each wait ends on readyRead or after 1 second of monotonic time (a
// single-shot timer), so the window stays usable meanwhile and the wall clock (midnight,
// clock changes) plays no part. A tick during a poll is ignored.
//
// The protocol, its line settings and the device come from the settings each time the
// port is opened (scale_settings.h); a value that does not read is said once on the
// status line and its default used.
//
// Any error during a poll (the port cannot be opened, a send or read fails, the device
// vanishes, the automatic print fails) switches polling off and clears "Scales
// Connected"; the weight box and the armed state stay as they were, and the status line
// says which device failed and why (the window puts "Scale: " before it).
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <string>
#include <string_view>

#include "common/settings_store.h"
#include "platform/serial_line.h"
#include "station/scale/scale_protocol.h"
#include "station/scale_view.h"

namespace corvel {

class StationWindow;

// The serial port number a text gives ("COMPORT", the "On COM" box): its leading number
// rounded to the nearest whole number, halves to even. A number below 1 names no port;
// one beyond the range of a port number gives 0. `problem` then says what is wrong.
struct PortChoice {
  int number = 0;
  std::string problem;  // empty when `number` can name a port
};
PortChoice PortNumberFromText(std::string_view text);

class ScaleLink : public QObject {
  Q_OBJECT

 public:
  // `timer1` is the window's polling timer (400 ms, started by the window); the link
  // stops and restarts it. `portNumber` is the stored port ("COMPORT", rounded), which
  // the first tick opens.
  ScaleLink(ScaleView& view, QTimer& timer1, const SettingsStore& settings, int portNumber,
            QObject* parent = nullptr);

  // The time a wait lasts before the poll gives up on the answer.
  static constexpr int kAnswerWaitMs = 1000;
  static constexpr int kPollIntervalMs = 400;
  // Another limit for the waits: tests that check what the answers do wait for them
  // as long as a loaded machine may take to deliver them.
  void SetAnswerWait(int ms) { answerWaitMs_ = ms; }

  bool Armed() const { return armed_; }
  bool PollUnderWay() const { return step_ >= 0; }
  int PortNumber() const { return portNumber_; }
  bool PortOpen() const { return line_.IsOpen(); }
  const SerialLine& Line() const { return line_; }
  const ScaleProtocol& Protocol() const { return *protocol_; }
  // Lines or reports that did not read since the link was made.
  int Skipped() const { return skipped_; }

 public slots:
  // Timer1 tick: starts one poll unless one is under way.
  void OnTimerTick();
  // "Scales Connected" clicked: polling on at 400 ms, or off (the port stays open).
  void OnScalesConnectedClicked(bool checked);
  // "On COM" left with a new number: closes the port; the next tick opens the new one.
  void OnPortNumberChanged(int portNumber);
  // A label sent in the background was refused by the printer. Under Autoprint this is
  // a failed automatic print, found late: polling goes off as for any print failure, so
  // an unattended scale does not go on weighing goods without labels.
  void OnLabelRefused(const QString& reason);

 signals:
  // A poll ended, with the frame evaluated or not (for tests and measurements).
  void pollFinished();

 private:
  void OnReadyRead();
  void OnWaitOver();
  void OnLineFailed(const QString& message);
  // Sends step `step`'s request and waits for its answer.
  void StartStep(int step);
  bool AnswerWhole();
  void ReadAnswer();
  void Evaluate(const ScaleFrame& reading);
  void EndPoll();
  void Fail(const QString& message);
  QString NoPortMessage() const;

  ScaleView& view_;
  QTimer& timer1_;
  const SettingsStore& settings_;
  int portNumber_;
  std::unique_ptr<ScaleProtocol> protocol_;
  SerialLine line_;
  std::string received_;  // read from the line, not yet used (the start of a line)
  QTimer waitTimer_;
  QElapsedTimer waitStarted_;
  int step_ = -1;  // the poll's step under way, -1 between polls
  int skipped_ = 0;
  QStringList reported_;  // settings problems already on the status line
  int answerWaitMs_ = kAnswerWaitMs;
  bool armed_ = false;
};

// Wires the window's Timer1 ticks, "Scales Connected" clicks, port number changes and
// refused labels to the link.
void ConnectScaleLink(StationWindow& window, ScaleLink& link);

}  // namespace corvel
