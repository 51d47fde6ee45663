// The plain-text trace of learning and of the codec (learning progress,
// parameter dump, step timings, header and size dumps). It goes to standard output unless a
// program redirects it (tests capture it, `folim-cli --quiet` drops it).
#pragma once

#include <ostream>
#include <string>

// The stream the trace is written to; never null.
std::ostream& traceStream();

// Redirects the trace; nullptr discards it. Returns the previous target
// (nullptr when it was discarded). Meant to be called at start-up or by tests,
// not while other threads are tracing.
std::ostream* setTraceStream(std::ostream* target);

// Sends the trace to a stream while it lives (nullptr drops it), then gives
// it back to the previous target.
class TraceTarget {
 public:
  explicit TraceTarget(std::ostream* target) : previous_(setTraceStream(target)) {}
  ~TraceTarget() { setTraceStream(previous_); }
  TraceTarget(const TraceTarget&) = delete;
  TraceTarget& operator=(const TraceTarget&) = delete;

 private:
  std::ostream* previous_;
};

// Sends the trace written on this thread to a stream while it lives (nullptr
// drops it); other threads keep theirs. A worker uses it to keep one item's
// trace apart from the others'.
class ThreadTraceTarget {
 public:
  explicit ThreadTraceTarget(std::ostream* target);
  ~ThreadTraceTarget();
  ThreadTraceTarget(const ThreadTraceTarget&) = delete;
  ThreadTraceTarget& operator=(const ThreadTraceTarget&) = delete;

 private:
  bool hadTarget_;
  std::ostream* previous_;
};

// True when the trace of this thread is dropped.
bool traceDiscarded();

// Writes finished text to the trace whole: writers that use this never
// interleave.
void traceWhole(const std::string& text);

// Writes printf-formatted text to the trace.
void tracef(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf-style formatting into a string of any length.
std::string stringf(const char* format, ...) __attribute__((format(printf, 1, 2)));
