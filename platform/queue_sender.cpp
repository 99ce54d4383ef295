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
  bool stop = false;
  std::thread thread;
};

QueueSender::QueueSender(PrinterTarget target, Status status) : target_(std::move(target)) {
  if (!status) return;
  worker_ = std::make_unique<Worker>();
  Worker& w = *worker_;
  worker_->thread = std::thread([this, &w, status] {
    std::unique_ptr<CupsQueue> queue;
    const auto open = [&] {
      if (!queue) queue = std::make_unique<CupsQueue>(target_.queue);
      return queue.get();
    };
    try {
      QueueMedia media = open()->DefaultMedia();
      media.dpi = queue->DefaultResolution();
      const std::lock_guard lock(w.mutex);
      w.media = std::move(media);
    } catch (const std::exception&) {
      queue.reset();  // asked again with the first document
    }
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
    const std::lock_guard lock(worker_->mutex);
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
