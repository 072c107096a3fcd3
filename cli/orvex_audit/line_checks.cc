#include "orvex_audit/line_checks.h"

#include <sched.h>

#include <chrono>
#include <new>

#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

// Big enough that handing a batch over costs little per line, small enough
// that the batches in flight stay a few MiB.
constexpr std::size_t kBatchBytes = std::size_t{256} << 10;
constexpr std::size_t kBatchLines = 512;
constexpr std::size_t kBatchesPerJob = 4;

// Waits until `ready()` holds. Through wait_until on the steady clock, which
// the library's header carries inline: the plain wait() is a libstdc++ symbol
// new in GCC 12 (GLIBCXX_3.4.30), and needing it would make the wheel
// refuse every system older than glibc 2.35.
template <class Ready>
void wait_until_ready(std::condition_variable& signal, std::unique_lock<std::mutex>& lock, Ready ready) {
  while (!ready()) signal.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::hours(1));
}

}  // namespace

struct LineChecks::Batch {
  std::string text;  // the lines back to back
  struct Span {
    std::size_t start;
    std::size_t size;
    bool has_line_feed;
  };
  std::vector<Span> spans;
  std::vector<LineVerdict> verdicts;
  bool done = false;
  bool out_of_memory = false;
};

LineChecks::LineChecks(unsigned jobs, const PinnedKeys& pinned, const LineHashKey& hash_key, Emit emit)
    : jobs_(jobs), hash_key_(hash_key), emit_(std::move(emit)), checker_(pinned), pinned_(pinned) {
  if (jobs_ > 1) {
    workers_.reserve(jobs_);
    for (unsigned n = 0; n < jobs_; ++n) workers_.emplace_back([this] { work(); });
  }
}

LineChecks::~LineChecks() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void LineChecks::judge(std::string_view text, bool has_line_feed, RecordChecker& checker,
                       LineVerdict& verdict) const {
  verdict.has_line_feed = has_line_feed;
  if (!has_line_feed) {
    verdict.valid = false;
    verdict.reason = messages::kTornLine;
    return;
  }
  Result<audit::PublicKey> result = checker.check(text);
  verdict.valid = result.ok();
  if (verdict.valid) {
    verdict.key = result.value();
    verdict.hash = line_hash(hash_key_, text);
  } else {
    verdict.reason = std::move(result).failure().message;
  }
}

void LineChecks::add(const Line& line) {
  if (jobs_ == 1 || line.text.size() > kBatchBytes) {
    // Order first: everything before this line is emitted before it.
    drain();
    LineVerdict verdict;
    judge(line.text, line.has_line_feed, checker_, verdict);
    verdict.text = line.text;
    emit_(verdict);
    return;
  }
  if (!filling_) filling_ = std::make_unique<Batch>();
  Batch& batch = *filling_;
  batch.spans.push_back(Batch::Span{batch.text.size(), line.text.size(), line.has_line_feed});
  batch.text.append(line.text);
  if (batch.spans.size() >= kBatchLines || batch.text.size() >= kBatchBytes) {
    submit();
    emit_ready(false);
    while (in_flight_.size() >= kBatchesPerJob * jobs_) emit_ready(true);
  }
}

void LineChecks::add_refused(std::string reason) {
  drain();
  LineVerdict verdict;
  verdict.reason = std::move(reason);
  emit_(verdict);
}

void LineChecks::drain() {
  if (filling_) submit();
  while (!in_flight_.empty()) emit_ready(true);
}

void LineChecks::submit() {
  Batch* batch = filling_.get();
  in_flight_.push_back(std::move(filling_));
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(batch);
  }
  work_ready_.notify_one();
}

void LineChecks::emit_ready(bool wait) {
  while (!in_flight_.empty()) {
    Batch& batch = *in_flight_.front();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (wait) wait_until_ready(batch_done_, lock, [&batch] { return batch.done; });
      if (!batch.done) return;
    }
    if (batch.out_of_memory) throw std::bad_alloc();
    for (std::size_t n = 0; n < batch.spans.size(); ++n) {
      batch.verdicts[n].text = std::string_view(batch.text).substr(batch.spans[n].start, batch.spans[n].size);
      emit_(batch.verdicts[n]);
    }
    in_flight_.pop_front();
    wait = false;
  }
}

void LineChecks::work() {
  RecordChecker checker(pinned_);
  for (;;) {
    Batch* batch;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wait_until_ready(work_ready_, lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      batch = queue_.front();
      queue_.pop_front();
    }
    // The batch belongs to this thread until it is marked done.
    try {
      batch->verdicts.resize(batch->spans.size());
      for (std::size_t n = 0; n < batch->spans.size(); ++n) {
        const Batch::Span& span = batch->spans[n];
        judge(std::string_view(batch->text).substr(span.start, span.size), span.has_line_feed, checker,
              batch->verdicts[n]);
      }
    } catch (const std::bad_alloc&) {
      batch->out_of_memory = true;
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      batch->done = true;
    }
    batch_done_.notify_all();
  }
}

unsigned default_jobs() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
    return static_cast<unsigned>(CPU_COUNT(&allowed));
  }
  const unsigned reported = std::thread::hardware_concurrency();
  return reported > 0 ? reported : 1;
}

}  // namespace orvex::audit_tool
