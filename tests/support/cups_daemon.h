#pragma once
// A private CUPS scheduler for tests: its own configuration, spool, state and log folders
// in a temporary folder, listening on a unix socket there, with queues that write each
// job into an output folder: as a PDF file (behind a PJL header that poppler reads) on
// PPDs of our own, in the printer's language on the drivers CUPS ships. The scheduler
// keeps every document submitted, so a test can read the one a program sent. Its
// configuration files are in tests/support/cupsd.
// Clients reach it with CUPS_SERVER=<socket>; the CUPS library reads that variable at
// its first use, so set it (SetClientEnvironment) before anything in the process asks
// CUPS for printers.
#include <QProcess>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

namespace corvel::test {

class CupsDaemon {
 public:
  CupsDaemon() = default;
  ~CupsDaemon() { Stop(); }
  CupsDaemon(const CupsDaemon&) = delete;
  CupsDaemon& operator=(const CupsDaemon&) = delete;

  // True when the cupsd program is installed on this machine.
  static bool Installed();

  // Starts the scheduler with these queues and waits until it answers. A queue on a PPD of
  // ours (RollLabelPpd, OfficePpd) writes its jobs as PDF files to OutputFile(name); one
  // made from a driver name ("drv:///sample.drv/zebraep2.ppd", "everywhere") writes what
  // the driver makes of them to its file device (DeviceOutput), or sends them to `uri`.
  // False (with `error` set) on failure.
  struct Queue {
    QString name = {};
    QByteArray ppd = {};
    bool makeDefault = false;
    QString model = {};        // lpadmin -m: the driver, instead of `ppd`
    QStringList options = {};  // lpadmin -o, once the queue has its PPD: "PageSize=w216h144"
    QString uri = {};          // the device; empty: a file in the output folder
  };
  bool StartWithQueues(const std::vector<Queue>& queues, QString* error);
  // Stops the scheduler (also done by the destructor).
  void Stop();

  // "CUPS_SERVER=<socket>" for RunProgram's environment list.
  QString ClientEnvironment() const { return "CUPS_SERVER=" + Socket(); }
  // Points this process's CUPS clients at the daemon.
  void SetClientEnvironment() const { qputenv("CUPS_SERVER", Socket().toUtf8()); }

  // The PPDs in tests/support/ppd: their jobs go out as PDF behind a PJL header that
  // names the paper ("@PJL SET PAPER=...") and the tray.
  // A 60 x 40 mm roll-label printer (its only and default media, no margins).
  static QByteArray RollLabelPpd() { return SupportFile("ppd/", "roll-label.ppd"); }
  // An office printer: A4 (default), A5 and A6, no margins; trays Auto (default), Tray1,
  // Tray2, Manual, each named in the job's PJL header ("@PJL SET MEDIASOURCE=...", as the
  // paper, "@PJL SET PAPER=...").
  static QByteArray OfficePpd() { return SupportFile("ppd/", "office.ppd"); }

  // Stops (SIGSTOP) and resumes (SIGCONT) the scheduler: a print server that takes
  // connections and never answers.
  void Freeze() const;
  void Thaw() const;

  // The file the queue's last job was written to (each job replaces it).
  QString OutputFile(const QString& queue) const {
    return root_ ? root_->filePath("out/" + queue + ".pdf") : QString();
  }

  // The value of "@PJL SET <name>=..." in the header of the queue's last job: "none"
  // when the header has no such line, "no output" when there is no job.
  QString PjlSetting(const QString& queue, const QString& name) const;

  // Number of jobs the queue has completed.
  int CompletedJobs(const QString& queue) const;
  // Waits until no job is pending and the queue has completed at least `jobs` jobs;
  // false when that does not happen within `timeoutMs`.
  bool WaitForCompletedJobs(const QString& queue, int jobs, int timeoutMs = 30000) const;

  // The id of the queue's last job; 0 when it has none.
  int LastJobId(const QString& queue) const;
  // The document of a job as the program submitted it.
  QString SubmittedDocument(int jobId) const;
  // The job's attributes as submitted, as text: "media" -> "custom_60x40mm_60x40mm",
  // "print-scaling" -> "none", several values joined by ",", collections as "{...}".
  std::map<QString, QString> JobAttributes(int jobId) const;
  // What the last job of a queue made from a driver name sent to its file device (the
  // printer's own language); empty when nothing was written.
  QByteArray DeviceOutput(const QString& queue) const;
  // Removes what the queue's jobs wrote so far (DeviceOutput, OutputFile), so that what
  // is read after the next job is that job's.
  void ForgetOutput(const QString& queue) const;

  // Runs a CUPS client command (lpadmin, lpstat, lp) against the daemon.
  int RunClient(const QString& program, const QStringList& args, QString* output = nullptr) const;

  // The size of a media, width (across the print head) by length, in millimetres, from
  // its name in a PPD ("w216h144" in points, "A4", "Custom.60x40mm") or in IPP
  // ("custom_60x40mm_60x40mm"); an empty size for an unknown name.
  static QSizeF MediaSizeMm(const QString& name);

  // A file of tests/support/<folder>.
  static QByteArray SupportFile(const char* folder, const char* name);

 private:
  // Makes one queue; an empty text, or why not.
  QString AddQueue(const Queue& queue);
  QString Socket() const { return root_ ? root_->filePath("cups.sock") : QString(); }
  // Starts the scheduler and waits until it answers; an empty text, or why not.
  QString Start();

  std::unique_ptr<QTemporaryDir> root_;
  std::unique_ptr<QProcess> daemon_;
};

}  // namespace corvel::test
