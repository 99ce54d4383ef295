#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "common/errors.h"
#include "platform/cups_queue.h"

namespace corvel {

struct QueueSender::Worker {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<QueueJob> jobs;
  std::optional<QueueMedia> media;
  bool asked = false;  // the first question about the media has been answered or failed
  std::condition_variable answered;
  bool stop = false;
  std::thread thread;
};

QueueSender::QueueSender(PrinterTarget target, Status status, Paper paper)
    : target_(std::move(target)) {
  if (!status) return;
  worker_ = std::make_unique<Worker>();
  Worker& w = *worker_;
  worker_->thread = std::thread([this, &w, status, paper] {
    std::unique_ptr<CupsQueue> queue;
    // Connects when there is no connection, and learns the queue's media each time, so
    // labels laid out after a print server came back use the media it reports.
    const auto open = [&] {
      if (!queue) {
        queue = std::make_unique<CupsQueue>(target_.queue);
        try {
          QueueMedia media = queue->DefaultMedia();
          media.dpi = queue->DefaultResolution();
          {
            const std::lock_guard lock(w.mutex);
            w.media = media;
          }
          if (paper) paper(media);
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
    {
      const std::lock_guard lock(w.mutex);
      w.asked = true;
    }
    w.answered.notify_all();
    std::unique_lock lock(w.mutex);
    while (true) {
      w.wake.wait(lock, [&] { return w.stop || !w.jobs.empty(); });
      if (w.stop) break;
      QueueJob job = std::move(w.jobs.front());
      w.jobs.pop_front();
      lock.unlock();
      int jobId = 0;
      std::string where;
      try {
        CupsQueue* q = open();
        jobId = q->Submit(job, target_.inputSlots);
        where = " on printer " + q->Name() + " (job " + std::to_string(jobId) + ")";
        status("queued" + where, false);
      } catch (const std::exception& error) {
        queue.reset();
        status(std::string("refused: ") + error.what(), true);
      }
      std::remove(job.pdfFile.c_str());
      // Follows the job until it ends or the next document comes.
      std::string last = "queued";
      lock.lock();
      while (jobId > 0 && !w.stop && w.jobs.empty()) {
        w.wake.wait_for(lock, std::chrono::milliseconds(500),
                        [&] { return w.stop || !w.jobs.empty(); });
        if (w.stop || !w.jobs.empty()) break;
        lock.unlock();
        JobState state;
        try {
          state = queue->Query(jobId);
        } catch (const std::exception&) {
          queue.reset();
          lock.lock();
          break;
        }
        if (const std::string text = state.Describe(); text != last) {
          last = text;
          status(text + where, state.stage == JobState::Stage::Stopped);
        }
        lock.lock();
        if (state.Final()) break;
      }
    }
    for (const QueueJob& dropped : w.jobs)
      std::remove(dropped.pdfFile.c_str());
  });
}

QueueSender::~QueueSender() {
  if (worker_) {
    {
      const std::lock_guard lock(worker_->mutex);
      worker_->stop = true;
    }
    worker_->wake.notify_all();
    worker_->thread.join();
  }
}

std::optional<QueueMedia> QueueSender::DefaultMedia() {
  if (worker_) {
    // The first label waits for the first answer (the worker asks as soon as the sender
    // starts), so it is laid out on the queue's media as every later one is. The wait is
    // bounded by the connection's own bound.
    std::unique_lock lock(worker_->mutex);
    worker_->answered.wait_for(lock, std::chrono::milliseconds(3 * kPrintServerTimeoutMs),
                               [&] { return worker_->asked; });
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

void QueueSender::Send(QueueJob job) {
  if (worker_) {
    {
      const std::lock_guard lock(worker_->mutex);
      worker_->jobs.push_back(std::move(job));
    }
    worker_->wake.notify_all();
    return;
  }
  try {
    if (!queue_) queue_ = std::make_unique<CupsQueue>(target_.queue);
    queue_->Submit(job, target_.inputSlots);
  } catch (...) {
    std::remove(job.pdfFile.c_str());
    queue_.reset();
    throw;
  }
  std::remove(job.pdfFile.c_str());
}

}  // namespace corvel
