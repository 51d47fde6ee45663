#include "numeric/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <streambuf>

namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::ostream& nullStream() {
  static NullBuffer buffer;
  static std::ostream stream(&buffer);
  return stream;
}

std::atomic<std::ostream*>& target() {
  static std::atomic<std::ostream*> stream{&std::cout};
  return stream;
}

// This thread's own target, when it has one; a thread's dropped trace goes
// to a null stream of its own, so that no stream state is shared.
struct ThreadTarget {
  bool set = false;
  std::ostream* stream = nullptr;
};
thread_local ThreadTarget t_target;

std::ostream& threadNullStream() {
  thread_local NullBuffer buffer;
  thread_local std::ostream stream(&buffer);
  return stream;
}

}  // namespace

std::ostream& traceStream() {
  if (t_target.set) return t_target.stream != nullptr ? *t_target.stream : threadNullStream();
  std::ostream* s = target().load();
  return s != nullptr ? *s : nullStream();
}

bool traceDiscarded() {
  return t_target.set ? t_target.stream == nullptr : target().load() == nullptr;
}

ThreadTraceTarget::ThreadTraceTarget(std::ostream* stream)
    : hadTarget_(t_target.set), previous_(t_target.stream) {
  t_target.set = true;
  t_target.stream = stream;
}

ThreadTraceTarget::~ThreadTraceTarget() {
  t_target.set = hadTarget_;
  t_target.stream = previous_;
}

void traceWhole(const std::string& text) {
  static std::mutex mutex;
  if (text.empty() || traceDiscarded()) return;
  std::lock_guard<std::mutex> lock(mutex);
  traceStream() << text;
  traceStream().flush();
}

std::ostream* setTraceStream(std::ostream* stream) { return target().exchange(stream); }

namespace {

std::string vstringf(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

}  // namespace

std::string stringf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vstringf(format, args);
  va_end(args);
  return text;
}

void tracef(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = vstringf(format, args);
  va_end(args);
  traceStream() << text;
}
