#include "cli/index_support.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/file_checks.h"
#include "numeric/parallel.h"
#include "numeric/trace.h"

namespace cli {
namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int) { interruptRequested.store(true); }

// Ctrl-C asks the refresh to stop while this lives; a second one ends the
// program at once, as usual.
class InterruptGuard {
 public:
  InterruptGuard() {
    interruptRequested.store(false);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    installed_ = sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~InterruptGuard() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
  bool installed_ = false;
};

std::string minutesSeconds(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  return stringf("%ld:%02ld", s / 60, s % 60);
}

}  // namespace

bool openIndex(SignatureIndex& index, const std::string& file, const std::string& prefix,
               std::ostream& err) {
  const bool ownFile = file.empty() || file == "default";
  const std::string path = ownFile ? defaultIndexPath() : file;
  if (path.empty()) {
    err << prefix
        << "no place for the index: neither XDG_CACHE_HOME nor HOME names an absolute folder;"
           " name a file with --index FILE\n";
    return false;
  }
  std::string notice, error;
  if (!index.Open(path, ownFile ? IndexOwner::Folim : IndexOwner::User, notice, error)) {
    err << prefix << "cannot open the index " << path << ": " << error << "\n";
    return false;
  }
  if (!notice.empty()) err << prefix << notice << "\n";
  return true;
}

bool rebuildDamagedIndex(SignatureIndex& index, const std::string& prefix, std::ostream& err) {
  std::string notice, error;
  if (!index.Rebuild(index.lastError(), notice, error)) {
    err << prefix << "cannot open the index " << index.file() << ": " << error << "\n";
    return false;
  }
  if (!notice.empty()) err << prefix << notice << "\n";
  return true;
}

std::string failureCause(const RefreshFailure& failure) {
  if (failure.status == status::CannotOpenFile && !failure.cause.empty())
    return "not a readable image (" + failure.cause + ")";
  std::string line = statusLine(failure.status);
  line.pop_back();  // its newline
  return line;
}

unsigned defaultJobs() { return KPX::coreCount(); }

bool refreshIndexedFolder(SignatureIndex& index, const std::string& folder, bool recursive,
                          unsigned jobs, const SignatureParameters& parameters,
                          const std::string& prefix, std::ostream& err, RefreshCounts& counts) {
  RefreshRequest request;
  request.dir = folder;
  request.recursive = recursive;
  request.files = listIndexablePictures(folder, recursive);
  request.params = signatureParametersKey(parameters);
  request.jobs = jobs;
  request.stop = &interruptRequested;

  const bool terminal = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  const auto start = std::chrono::steady_clock::now();
  std::size_t firstDone = 0;
  bool firstSeen = false, drawn = false;
  auto lastDraw = start - std::chrono::seconds(1);
  RefreshReport report = [&](std::size_t done, std::size_t total) {
    if (!firstSeen) {
      firstDone = done;
      firstSeen = true;
    }
    if (!terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw < std::chrono::milliseconds(200) && done != total) return;
    lastDraw = now;
    const double seconds = std::chrono::duration<double>(now - start).count();
    const double rate = seconds > 0.0 ? static_cast<double>(done - firstDone) / seconds : 0.0;
    std::string line = stringf("\r\033[K%zu / %zu files", done, total);
    if (rate > 0.0)
      line += stringf(", %.1f files/s, %s left", rate,
                      minutesSeconds(static_cast<double>(total - done) / rate).c_str());
    err << line << std::flush;
    drawn = true;
  };
  // The learner's trace would interleave from the workers; it says nothing
  // an index user needs.
  TraceTarget quiet(nullptr);
  InterruptGuard guard;
  SignatureSource source = [&parameters](const std::string& path, Signature& signature,
                                         std::string& cause) {
    return FileSignature(path, parameters, signature, &cause);
  };
  std::string error;
  bool ok = RefreshFolder(index, request, source, report, counts, error);
  if (drawn) err << "\n";
  if (!ok && index.damaged()) {
    // Damage SQLite found: the index is made afresh and the folder again.
    if (!rebuildDamagedIndex(index, prefix, err)) return false;
    drawn = false;
    firstSeen = false;
    ok = RefreshFolder(index, request, source, report, counts, error);
    if (drawn) err << "\n";
  }
  // Each picture that failed and why, as the batch conversions list them.
  for (const RefreshFailure& f : counts.failures)
    err << prefix << f.path << ": " << failureCause(f) << "\n";
  if (!ok) {
    err << prefix << "cannot update the index " << index.file() << ": " << error << "\n";
    return false;
  }
  return true;
}

}  // namespace cli
