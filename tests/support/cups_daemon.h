#pragma once
// A private CUPS scheduler for tests: its own configuration, spool, state and log folders
// in a temporary folder, listening on a unix socket there, with queues that write each
// job as a PDF file (behind a PJL header that poppler reads) into an output folder. Its
// configuration files are in tests/support/cupsd.
// Clients reach it with CUPS_SERVER=<socket>; the CUPS library reads that variable at
// its first use, so set it (SetClientEnvironment) before anything in the process asks
// CUPS for printers.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <initializer_list>
#include <memory>

namespace corvel::test {

class CupsDaemon {
 public:
  CupsDaemon() = default;
  ~CupsDaemon() { Stop(); }
  CupsDaemon(const CupsDaemon&) = delete;
  CupsDaemon& operator=(const CupsDaemon&) = delete;

  // True when the cupsd program is installed on this machine.
  static bool Installed();

  // Starts the scheduler with these queues on PPDs of our own (RollLabelPpd, OfficePpd),
  // each writing its jobs as PDF files to OutputFile(name), and waits until it answers.
  // False (with `error` set) on failure.
  struct Queue {
    QString name;
    QByteArray ppd;
    bool makeDefault = false;
  };
  bool StartWithQueues(std::initializer_list<Queue> queues, QString* error);
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

  // Runs a CUPS client command (lpadmin, lpstat, lp) against the daemon.
  int RunClient(const QString& program, const QStringList& args, QString* output = nullptr) const;

 private:
  // A file of tests/support/<folder>.
  static QByteArray SupportFile(const char* folder, const char* name);
  QString Socket() const { return root_ ? root_->filePath("cups.sock") : QString(); }
  // Starts the scheduler and waits until it answers; an empty text, or why not.
  QString Start();

  std::unique_ptr<QTemporaryDir> root_;
  std::unique_ptr<QProcess> daemon_;
};

}  // namespace corvel::test
