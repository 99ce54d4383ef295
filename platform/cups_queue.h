#pragma once
// The print server side of printing, through libcups: finding a queue, its media and
// trays, sending a finished PDF document as one job, and asking what became of a job.
//
// Bounded waits: every exchange with the print server (connecting, each request, each
// answer, each block of document data) waits at most kPrintServerTimeout. A server
// that does not answer in that time (stopped with SIGSTOP, a dead network link) makes
// the call fail with PrintError naming the reason, so nothing ever hangs on it.
//
// The server is the one libcups is pointed at (CUPS_SERVER, client.conf, else the local
// socket or localhost); a local socket, TCP and a remote server behave alike.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/printer_target.h"
#include "platform/cups_trays.h"
#include "platform/queue_media.h"

struct _ipp_s;  // libcups' ipp_t

namespace corvel {

// How long one exchange with the print server may take before it counts as failed.
inline constexpr std::chrono::milliseconds kPrintServerTimeout{5000};

// "no answer within 5 s": how a server that did not answer in time is told.
std::string NoAnswerText();

// What happens when a call into the print library goes on after its connection was shut
// at the bound (libcups may also sleep, with no exchange to cut): by default the program
// says so on standard error and ends with status 1, as any other failure to reach the
// print server does. The station, whose print server calls all run on its sender's
// worker thread, sets one that leaves the worker behind instead.
using PrintServerHangHandler = void (*)();
void SetPrintServerHangHandler(PrintServerHangHandler handler);

// What can be found out about the print server without printing.
enum class PrintServerState {
  Absent,      // nothing listens where the server should be: no print server
  Silent,      // it takes the connection but does not answer in time
  NoPrinters,  // it answers and has no queue
  HasPrinters  // it answers and has at least one queue
};
// True when this machine has a print server, running or not: one named for this user
// (CUPS_SERVER, client.conf) or a scheduler installed here.
bool PrintServerInstalled();

// Asks the print server (a bounded wait). With printers, `queue` receives the queue
// documents go to when none is named: "" when the server has a default queue, else the
// first queue's name; `defaultName` the real name of the queue documents go to, and
// `names` every queue's name.
PrintServerState ProbePrintServer(std::string* queue = nullptr, std::string* defaultName = nullptr,
                                  std::vector<std::string>* names = nullptr);

// What became of a job, for people.
struct JobState {
  enum class Stage { Queued, Held, Printing, Printed, Stopped } stage = Stage::Queued;
  std::string reason;  // the printer's message or the job's state reasons, when any
  bool Final() const { return stage == Stage::Printed || stage == Stage::Stopped; }
  // "queued", "held: ...", "printing", "printed", "stopped: ..."
  std::string Describe() const;
};

// A document ready to be sent: a complete PDF file and how to print it.
struct QueueJob {
  std::string pdfFile;
  std::string title;
  int copies = 1;
  // The media to request: a name the queue reported, or (empty name) a size looked up
  // among the queue's media (width and height of the paper as fed, in millimetres).
  std::string media;
  double mediaWidthMm = 0, mediaHeightMm = 0;
  int paperBin = 7;  // the program's bin number (qt_print_surface.h)
};

// A job the queue took: its id, and why it waits ("printer labels is paused"), if it does.
struct Submitted {
  int jobId = 0;
  std::string held;
};

// One queue on the print server, over one connection. Not shared between threads.
class CupsQueue {
 public:
  // Connects and finds the queue ("" for the server's default queue). Throws PrintError
  // when there is no server, it does not answer, or it has no such queue.
  explicit CupsQueue(const std::string& name);
  ~CupsQueue();
  CupsQueue(const CupsQueue&) = delete;
  CupsQueue& operator=(const CupsQueue&) = delete;

  // The queue's name (the default queue's real name when none was given).
  const std::string& Name() const { return name_; }

  // The queue's default media, as the admin set it: the media the queue names as its
  // default (a PWG name carrying its size), else the size of its default media
  // collection, else its driver's default page size (a custom size such as
  // "Custom.60x40mm" has no IPP name). Margins come with the size when the queue reports
  // them for it. Throws PrintError when the queue reports none.
  QueueMedia DefaultMedia();
  // True when the queue takes page sizes it does not list (its driver's custom sizes,
  // or an IPP printer's custom range).
  bool TakesCustomSizes();
  // The queue's default resolution in dots per inch across the page: its PPD's
  // DefaultResolution, or for a queue without a PPD (driverless) its IPP default; 0 when
  // it states none.
  double DefaultResolution();
  // The queue's media of this size (within a millimetre, either way round), or nothing.
  std::optional<QueueMedia> MediaOfSize(double widthMm, double heightMm);
  // The tray choices of the queue: its driver's InputSlot choices, else the IPP
  // media-source values it supports.
  const std::vector<std::string>& InputSlots();

  // Sends the document as one job, after checking the queue takes jobs (a queue refusing
  // them is named in the message). A paused queue takes the job and holds it until it is
  // resumed, as an admin pauses it to change the roll: `held` says so. Throws PrintError.
  Submitted Submit(const QueueJob& job, const std::map<int, std::string>& explicitSlots);
  // The job's state now. Throws PrintError when the server does not answer.
  JobState Query(int jobId);

 private:
  // The queue's state attributes; nothing when the server does not answer or has no
  // such queue (cupsLastError says which).
  std::unique_ptr<::_ipp_s, void (*)(::_ipp_s*)> PrinterAttributes(const std::string& queue);
  // The queue's PPD text, fetched once; empty for a queue without one.
  const std::string& Ppd();

  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string name_;
};

// Sends finished documents to one queue, in the order given.
// - Without a status callback Send returns when the server has the job, or throws
//   PrintError with the reason (the runner and the commands).
// - With one, a worker thread sends them and Send returns at once (the station): the
//   callback, called on the worker thread, tells the fate of the last document sent
//   (queued, printing, held, printed, or refused with the reason; `refused` is true
//   when the document will not be printed).
class QueueSender {
 public:
  using Status = std::function<void(const std::string& text, bool refused)>;
  // Tells the queue's default media and resolution each time the worker learns them (on
  // the worker thread).
  using Paper = std::function<void(const QueueMedia& media)>;
  explicit QueueSender(PrinterTarget target, Status status = {}, Paper paper = {});
  ~QueueSender();
  QueueSender(const QueueSender&) = delete;
  QueueSender& operator=(const QueueSender&) = delete;

  // The queue's default media, with its default resolution. At once: asked of the
  // server (throws PrintError). From the worker: asked when the sender starts; the first
  // call waits for that answer (within the print server's bound), and nothing comes when
  // the queue could not be asked.
  std::optional<QueueMedia> DefaultMedia();
  // Sends the document; its PDF file is removed once sent or refused. A document held
  // by a paused queue is told once on standard error (without a status callback).
  void Send(QueueJob job);
  // Waits up to `wait` for the worker to hand every document sent so far to the print
  // server; returns how many it has not (0 without a worker).
  int Finish(std::chrono::milliseconds wait);

  struct Worker;

 private:
  PrinterTarget target_;
  std::unique_ptr<CupsQueue> queue_;  // the synchronous sender's connection
  std::optional<QueueMedia> media_;
  bool toldHeld_ = false;
  std::shared_ptr<Worker> worker_;
};

}  // namespace corvel
