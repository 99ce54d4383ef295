#include "journal/journal_writer.h"

#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace corvel {

struct JournalWriter::State {
  std::mutex mutex;
  std::condition_variable wake, done;
  std::deque<std::function<void(JournalStore&)>> queue;
  std::uint64_t queued = 0, written = 0;  // operations, for Flush
  std::uint64_t nextTicket = 1;
  bool stop = false, finished = false, told = false;
  std::map<std::uint64_t, std::int64_t> rowOf;  // ticket -> row id (writer thread only)
  Problem problem;
  std::function<void()> labelWritten;

  // Tells the first problem only; called without the lock held (the callback may take
  // locks of its own).
  void Tell(const std::string& text) {
    {
      const std::lock_guard lock(mutex);
      if (told) return;
      told = true;
    }
    if (problem) problem(text);
  }
  void Push(std::function<void(JournalStore&)> op) {
    {
      const std::lock_guard lock(mutex);
      if (queue.size() < kJournalQueueLimit) {
        queue.push_back(std::move(op));
        ++queued;
        wake.notify_one();
        return;
      }
    }
    Tell("the journal is not being written: the disk does not answer");
  }
};

namespace {

void Work(const std::shared_ptr<JournalWriter::State>& state, const std::string& path,
          const std::string& firstKeptDay) {
  std::unique_ptr<JournalStore> store;
  const auto open = [&] {
    if (store) return;
    store = std::make_unique<JournalStore>(path);
    if (!firstKeptDay.empty()) store->PruneBefore(firstKeptDay);
  };
  std::unique_lock lock(state->mutex);
  for (;;) {
    state->wake.wait(lock, [&] { return state->stop || !state->queue.empty(); });
    if (state->queue.empty()) break;
    auto op = std::move(state->queue.front());
    state->queue.pop_front();
    lock.unlock();
    std::string failure;
    try {
      open();
      op(*store);
    } catch (const std::exception& error) {
      failure = error.what();
      store.reset();  // opened again for the next row: the disk may have room by then
    }
    if (!failure.empty()) state->Tell(failure);
    lock.lock();
    ++state->written;
    state->done.notify_all();
  }
  state->finished = true;
  state->done.notify_all();
}

}  // namespace

JournalWriter::JournalWriter(std::string path, std::string firstKeptDay, Problem problem)
    : state_(std::make_shared<State>()) {
  state_->problem = std::move(problem);
  // The worker holds the state: one left behind at close ends with it.
  std::thread([state = state_, path = std::move(path), firstKeptDay = std::move(firstKeptDay)] {
    Work(state, path, firstKeptDay);
  }).detach();
}

JournalWriter::~JournalWriter() {
  std::unique_lock lock(state_->mutex);
  state_->stop = true;
  state_->wake.notify_all();
  state_->done.wait_for(lock, kJournalCloseWait, [&] { return state_->finished; });
  // Rows still queued then are dropped; the thread ends with its last write.
  state_->queue.clear();
}

std::uint64_t JournalWriter::Label(LabelEntry entry) {
  std::uint64_t ticket;
  {
    const std::lock_guard lock(state_->mutex);
    ticket = state_->nextTicket++;
  }
  State* state = state_.get();
  state_->Push([state, ticket, entry = std::move(entry)](JournalStore& store) {
    state->rowOf[ticket] = store.AddLabel(entry);
    if (state->labelWritten) state->labelWritten();
  });
  return ticket;
}

void JournalWriter::Outcome(std::uint64_t ticket, std::string outcome, std::string reason,
                            std::string job) {
  State* state = state_.get();
  state_->Push([state, ticket, outcome = std::move(outcome), reason = std::move(reason),
                job = std::move(job)](JournalStore& store) {
    const auto row = state->rowOf.find(ticket);
    if (row != state->rowOf.end()) store.SetOutcome(row->second, outcome, reason, job);
  });
}

void JournalWriter::OnLabelWritten(std::function<void()> written) {
  const std::lock_guard lock(state_->mutex);
  state_->labelWritten = std::move(written);
}

void JournalWriter::Run(RunEntry entry) {
  state_->Push([entry = std::move(entry)](JournalStore& store) { store.AddRun(entry); });
}

bool JournalWriter::Flush(std::chrono::milliseconds wait) {
  std::unique_lock lock(state_->mutex);
  const std::uint64_t target = state_->queued;
  return state_->done.wait_for(lock, wait, [&] { return state_->written >= target; });
}

std::string FirstKeptDay(std::chrono::local_time<std::chrono::milliseconds> today, int keepDays) {
  if (keepDays <= 0) return "";
  return JournalDay(today - std::chrono::days(keepDays - 1));
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

}  // namespace corvel
