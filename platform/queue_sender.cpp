// Sending finished documents to a queue: at once, or in order from a worker thread.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "common/errors.h"
#include "platform/cups_queue.h"

namespace corvel {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

// What the sender and its worker thread share. The worker owns a reference, so a worker
// held inside the print library past every bound can be left behind safely.
struct QueueSender::Worker {
  std::mutex mutex;
  std::condition_variable wake;      // a job came, or the sender stops
  std::condition_variable progress;  // the media was asked, or a job was handed over
  std::deque<QueueJob> jobs;
  int sending = 0;  // jobs taken from the list and not yet handed over or refused
  std::optional<QueueMedia> media;
  bool asked = false;  // the first question about the media has been answered or failed
  bool stop = false;
  bool finished = false;  // the thread has ended
  // Called with `mutex` held, so none is called once the sender has stopped.
  Status status;
  Paper paper;
  std::thread thread;

  void Report(const std::string& text, bool refused) {
    const std::lock_guard lock(mutex);
    if (!stop && status) status(text, refused);
  }
};

namespace {

// The worker: learns the queue's media at once, then sends each document and follows
// it until it ends or the next one comes.
void RunWorker(const std::shared_ptr<QueueSender::Worker>& shared, const PrinterTarget& target) {
  QueueSender::Worker& w = *shared;
  std::unique_ptr<CupsQueue> queue;
  // Connects when there is no connection, and learns the queue's media each time, so
  // labels laid out after a print server came back use the media it reports.
  const auto open = [&] {
    if (!queue) {
      queue = std::make_unique<CupsQueue>(target.queue);
      try {
        QueueMedia media = queue->DefaultMedia();
        media.dpi = queue->DefaultResolution();
        const std::lock_guard lock(w.mutex);
        w.media = media;
        if (!w.stop && w.paper) w.paper(media);
      } catch (const std::exception&) {
        // The document's own sending says what is wrong.
      }
    }
    return queue.get();
  };
  try {
    open();
  } catch (const std::exception&) {
    queue.reset();  // asked again with the first document
  }
  std::unique_lock lock(w.mutex);
  w.asked = true;
  w.progress.notify_all();
  while (true) {
    w.wake.wait(lock, [&] { return w.stop || !w.jobs.empty(); });
    if (w.stop) break;
    QueueJob job = std::move(w.jobs.front());
    w.jobs.pop_front();
    ++w.sending;
    lock.unlock();
    Submitted submitted;
    std::string where, which;  // " on printer labels (job 12)", " (job 12)"
    try {
      CupsQueue* q = open();
      submitted = q->Submit(job, target.inputSlots);
      which = " (job " + std::to_string(submitted.jobId) + ")";
      where = " on printer " + q->Name() + which;
      // A held job's reason names the printer already.
      w.Report(submitted.held.empty() ? "queued" + where : "held: " + submitted.held + which,
               false);
    } catch (const std::exception& error) {
      queue.reset();
      w.Report(std::string("refused: ") + error.what(), true);
    }
    std::remove(job.pdfFile.c_str());
    lock.lock();
    --w.sending;
    w.progress.notify_all();
    // Follows the job until it ends or the next document comes.
    std::string last = submitted.held.empty() ? "queued" : "held: " + submitted.held;
    while (submitted.jobId > 0 && !w.stop && w.jobs.empty()) {
      w.wake.wait_for(lock, std::chrono::milliseconds(500),
                      [&] { return w.stop || !w.jobs.empty(); });
      if (w.stop || !w.jobs.empty()) break;
      lock.unlock();
      JobState state;
      try {
        state = queue->Query(submitted.jobId);
      } catch (const std::exception&) {
        queue.reset();
        lock.lock();
        break;
      }
      if (const std::string text = state.Describe(); text != last) {
        last = text;
        w.Report(text + (state.stage == JobState::Stage::Held ? which : where),
                 state.stage == JobState::Stage::Stopped);
      }
      lock.lock();
      if (state.Final()) break;
    }
  }
  for (const QueueJob& dropped : w.jobs)
    std::remove(dropped.pdfFile.c_str());
  w.jobs.clear();
  w.finished = true;
  w.progress.notify_all();
}

}  // namespace

QueueSender::QueueSender(PrinterTarget target, Status status, Paper paper)
    : target_(std::move(target)) {
  if (!status) return;
  worker_ = std::make_shared<Worker>();
  worker_->status = std::move(status);
  worker_->paper = std::move(paper);
  worker_->thread = std::thread(RunWorker, worker_, target_);
}

QueueSender::~QueueSender() {
  if (!worker_) return;
  std::unique_lock lock(worker_->mutex);
  worker_->stop = true;
  worker_->status = nullptr;
  worker_->paper = nullptr;
  worker_->wake.notify_all();
  // A worker held inside the print library past every bound is left to end by itself.
  const bool ended =
      worker_->progress.wait_for(lock, 2 * kPrintServerTimeout, [&] { return worker_->finished; });
  lock.unlock();
  if (ended)
    worker_->thread.join();
  else
    worker_->thread.detach();
}

std::optional<QueueMedia> QueueSender::DefaultMedia() {
  if (worker_) {
    // The first label waits for the first answer (the worker asks as soon as the sender
    // starts), so it is laid out on the queue's media as every later one is. The wait is
    // bounded by the connection's own bound.
    std::unique_lock lock(worker_->mutex);
    worker_->progress.wait_for(lock, 3 * kPrintServerTimeout, [&] { return worker_->asked; });
    return worker_->media;
  }
  if (!media_) {
    try {
      if (!queue_) queue_ = std::make_unique<CupsQueue>(target_.queue);
      media_ = queue_->DefaultMedia();
      media_->dpi = queue_->DefaultResolution();
    } catch (...) {
      queue_.reset();
      throw;
    }
  }
  return media_;
}

int QueueSender::Finish(std::chrono::milliseconds wait) {
  if (!worker_) return 0;
  std::unique_lock lock(worker_->mutex);
  worker_->progress.wait_for(lock, wait, [&] {
    return worker_->finished || (worker_->jobs.empty() && worker_->sending == 0);
  });
  return static_cast<int>(worker_->jobs.size()) + worker_->sending;
}

void QueueSender::Send(QueueJob job) {
  if (worker_) {
    {
      const std::lock_guard lock(worker_->mutex);
      worker_->jobs.push_back(std::move(job));
    }
    worker_->wake.notify_all();
    return;
  }
  Submitted submitted;
  try {
    if (!queue_) queue_ = std::make_unique<CupsQueue>(target_.queue);
    submitted = queue_->Submit(job, target_.inputSlots);
  } catch (...) {
    std::remove(job.pdfFile.c_str());
    queue_.reset();
    throw;
  }
  std::remove(job.pdfFile.c_str());
  if (!submitted.held.empty() && !toldHeld_) {
    // Once per sender: the documents wait in the queue and print when it is resumed.
    toldHeld_ = true;
    std::fprintf(stderr, "%s: held: %s; the documents print when it is resumed\n",
                 target_.program.empty() ? "corvel" : target_.program.c_str(),
                 submitted.held.c_str());
  }
}

}  // namespace corvel
