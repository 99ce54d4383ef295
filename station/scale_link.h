#pragma once
// The scale link: polls the retail scale on each tick of the window's polling timer and
// shows the stable weight in the weight box, printing a label by itself ("Autoprint")
// once per new load after the scale has been seen empty.
//
// One poll is a small state machine driven by the event loop: send ENQ, wait for an
// answer, check that it is exactly one ACK, send DC1, wait for a frame of 15 or more
// characters, evaluate it. Each wait ends on readyRead or after 1 second of monotonic
// time (a single-shot timer), so the window stays usable meanwhile and the wall clock
// (midnight, clock changes) plays no part. A tick during a poll is ignored.
//
// Any error during a poll (the port cannot be opened, a send or read fails, the device
// vanishes, the automatic print fails) switches polling off and clears "Scales
// Connected"; the weight box and the armed state stay as they were, and the status line
// says which device failed and why (the window puts "Scale: " before it).
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <string>
#include <string_view>

#include "common/settings_store.h"
#include "platform/serial_line.h"
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
  bool PollUnderWay() const { return state_ != State::Idle; }
  int PortNumber() const { return portNumber_; }
  bool PortOpen() const { return line_.IsOpen(); }
  const SerialLine& Line() const { return line_; }

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
  enum class State { Idle, WaitingForAck, WaitingForFrame };

  void OnReadyRead();
  void OnWaitOver();
  void OnLineFailed(const QString& message);
  void StartWait(State state);
  void ReadAck();
  void ReadFrame();
  void EndPoll();
  void Fail(const QString& message);
  QString NoPortMessage() const;

  ScaleView& view_;
  QTimer& timer1_;
  const SettingsStore& settings_;
  int portNumber_;
  SerialLine line_;
  QTimer waitTimer_;
  QElapsedTimer waitStarted_;
  State state_ = State::Idle;
  int answerWaitMs_ = kAnswerWaitMs;
  bool armed_ = false;
};

// Wires the window's Timer1 ticks, "Scales Connected" clicks, port number changes and
// refused labels to the link.
void ConnectScaleLink(StationWindow& window, ScaleLink& link);

}  // namespace corvel
