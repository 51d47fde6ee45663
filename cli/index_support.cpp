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
#include <utility>

#include "cli/file_checks.h"
#include "numeric/parallel.h"
#include "numeric/trace.h"

namespace cli {
namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int) { interruptRequested.store(true); }

std::string minutesSeconds(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  return stringf("%ld:%02ld", s / 60, s % 60);
}

}  // namespace

bool openIndex(SignatureIndex& index, const std::string& file, const std::string& prefix,
               std::ostream& err) {
  const IndexChoice choice = ChooseIndex(file);
  const std::string& path = choice.path;
  if (path.empty()) {
    err << prefix
        << "no place for the index: neither XDG_CACHE_HOME nor HOME names an absolute folder;"
           " name a file with --index FILE\n";
    return false;
  }
  std::string notice, error;
  if (!index.Open(path, choice.owner, notice, error)) {
    // As the index names itself: a server's password left out.
    err << prefix << "cannot open the index " << index.file() << ": " << error << "\n";
    return false;
  }
  if (!notice.empty()) err << prefix << notice << "\n";
  return true;
}

bool parseRoots(const ParsedArgs& args, std::vector<LibraryRoot>& roots, std::string& problem) {
  roots.clear();
  for (const auto& [name, value] : args.options) {
    if (name != "root") continue;
    const std::size_t equals = value.find('=');
    const std::string root = value.substr(0, equals);
    if (equals == std::string::npos || !ValidRootName(root) || equals + 1 == value.size()) {
      problem = "--root expects NAME=DIR, NAME of letters, digits, '.', '_' and '-'";
      return false;
    }
    roots.push_back({root, indexFolder(value.substr(equals + 1))});
  }
  return true;
}

bool keepRoots(SignatureIndex& index, const std::vector<LibraryRoot>& roots,
               const std::string& prefix, std::ostream& err) {
  for (const LibraryRoot& root : roots) {
    const std::string problem = folderProblem(root.dir);
    if (!problem.empty()) {
      err << prefix << root.dir << ": " << problem << "\n";
      return false;
    }
    if (!index.SetRoot(root)) {
      err << prefix << "cannot keep the library root " << root.name << " in the index "
          << index.file() << ": " << index.lastError() << "\n";
      return false;
    }
  }
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

std::optional<ColorMode> measureNamed(const std::string& name, bool robustToo) {
  struct Named {
    const char* name;
    ColorMode mode;
  };
  static constexpr Named kNames[] = {
      {"block", ColorMode::BlockMean},
      {"histogram", ColorMode::Histogram},
      {"csd", ColorMode::ColorStructure},
      {"robust", ColorMode::Robust},
  };
  for (const Named& n : kNames)
    if (name == n.name && (robustToo || n.mode != ColorMode::Robust)) return n.mode;
  return std::nullopt;
}

unsigned defaultJobs() { return KPX::coreCount(); }

// Ctrl-C asks the refresh to stop while this lives; a second one ends the
// program at once, as usual.
class RefreshConsole::InterruptGuard {
 public:
  InterruptGuard() {
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

RefreshConsole::RefreshConsole(std::ostream& err, std::string prefix)
    : err_(err),
      prefix_(std::move(prefix)),
      terminal_(&err == &std::cerr && ::isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_ - std::chrono::seconds(1)) {
  interruptRequested.store(false);
}

RefreshConsole::~RefreshConsole() { End(); }

void RefreshConsole::Start() {
  firstSeen_ = false;
  drawn_ = false;
  if (!guard_) guard_ = std::make_unique<InterruptGuard>();
}

void RefreshConsole::Report(std::size_t done, std::size_t total) {
  if (!firstSeen_) {
    firstDone_ = done;
    firstSeen_ = true;
  }
  if (!terminal_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < std::chrono::milliseconds(200) && done != total) return;
  lastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0.0 ? static_cast<double>(done - firstDone_) / seconds : 0.0;
  std::string line = stringf("\r\033[K%zu / %zu files", done, total);
  if (rate > 0.0)
    line += stringf(", %.1f files/s, %s left", rate,
                    minutesSeconds(static_cast<double>(total - done) / rate).c_str());
  err_ << line << std::flush;
  drawn_ = true;
}

void RefreshConsole::End() {
  if (drawn_) err_ << "\n";
  drawn_ = false;
  guard_.reset();
}

void RefreshConsole::ListFailures(const RefreshCounts& counts) {
  for (const RefreshFailure& f : counts.failures)
    err_ << prefix_ << f.path << ": " << failureCause(f) << "\n";
}

const std::atomic<bool>* RefreshConsole::stopFlag() const { return &interruptRequested; }

bool refreshIndexedFolder(SignatureIndex& index, const std::string& folder, bool recursive,
                          unsigned jobs, const SignatureParameters& parameters,
                          const std::string& prefix, std::ostream& err, RefreshCounts& counts,
                          bool relearn) {
  RefreshConsole console(err, prefix);
  RefreshRequest request;
  request.dir = folder;
  request.recursive = recursive;
  request.files = listIndexablePictures(folder, recursive);
  request.params = signatureParametersKey(parameters);
  request.jobs = jobs;
  request.relearn = relearn;
  request.stop = console.stopFlag();
  const SignatureSource source = IndexSignatureSource(parameters);
  const RefreshReport report = [&console](std::size_t done, std::size_t total) {
    console.Report(done, total);
  };
  std::string error;
  console.Start();
  bool ok = RefreshFolder(index, request, source, report, counts, error);
  console.End();
  if (!ok && index.damaged()) {
    // Damage SQLite found: the index is made afresh and the folder again.
    if (!rebuildDamagedIndex(index, prefix, err)) return false;
    console.Start();
    ok = RefreshFolder(index, request, source, report, counts, error);
    console.End();
  }
  console.ListFailures(counts);
  if (!ok) {
    err << prefix << "cannot update the index " << index.file() << ": " << error << "\n";
    return false;
  }
  return true;
}

}  // namespace cli
