// The line checks of verify on one or several threads, handed back in the
// order of the lines whatever the number of threads, so that every report
// is the same byte for byte at -j 1 and -j N. Lines are copied into batches
// that worker threads check, each with its own RecordChecker; memory is
// bounded by the batches in flight, and a line longer than a batch is
// checked on the calling thread without a copy.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "audit/signing_key.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/pinned_keys.h"
#include "orvex_audit/record_check.h"
#include "orvex_audit/repeat_detector.h"

namespace orvex::audit_tool {

// The verdict on one line, as the checks hand it back.
struct LineVerdict {
  bool valid = false;
  bool has_line_feed = true;
  audit::PublicKey key{};       // when valid
  std::uint64_t hash = 0;       // line_hash of a valid line, for repeats
  std::string reason;           // when not valid
  std::string_view text;        // the line; valid during the callback only
};

class LineChecks {
 public:
  using Emit = std::function<void(const LineVerdict&)>;

  // REQUIRES: jobs >= 1; `pinned`, `hash_key` and `emit` outlive this object.
  LineChecks(unsigned jobs, const PinnedKeys& pinned, const LineHashKey& hash_key, Emit emit);
  ~LineChecks();

  LineChecks(const LineChecks&) = delete;
  LineChecks& operator=(const LineChecks&) = delete;

  // Checks `line` (now or later); emits the verdicts of earlier lines that
  // are ready, in order.
  void add(const Line& line);
  // A line refused before any check (one over the line limit), in its place
  // among the others, as an invalid record for `reason`.
  void add_refused(std::string reason);
  // Emits the verdicts of every line added so far.
  void drain();

 private:
  struct Batch;

  void judge(std::string_view text, bool has_line_feed, RecordChecker& checker, LineVerdict& verdict) const;
  void submit();
  // Emits finished batches at the front; with `wait`, waits for the front.
  void emit_ready(bool wait);
  void work();

  const unsigned jobs_;
  const LineHashKey& hash_key_;
  Emit emit_;
  RecordChecker checker_;  // this thread's: -j 1 and lines longer than a batch

  std::unique_ptr<Batch> filling_;
  std::deque<std::unique_ptr<Batch>> in_flight_;  // in line order
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable batch_done_;
  std::deque<Batch*> queue_;  // submitted, not yet taken by a worker
  bool stopping_ = false;
  const PinnedKeys& pinned_;
  std::vector<std::thread> workers_;
};

// The number of threads verify uses by default: the processors this process
// may run on.
unsigned default_jobs();

}  // namespace orvex::audit_tool
