// Batch conversions on several threads give what one thread gives: the same
// files byte for byte, messages, failure list, progress calls and trace, on a
// folder with good, damaged and colliding files; and the ordered work queue
// under them. (Run under ThreadSanitizer by `make tsan`.)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "imageio/batch_convert.h"
#include "imageio/library_io.h"
#include "imageio/listing.h"
#include "imageio/ordered_jobs.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using testing_support::patternImage;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;

namespace {

// Everything a user or the window sees of one job.
struct Outcome {
  std::string message;
  bool cancelled = false;
  std::vector<std::string> files;     // ok, source, output, status, reason
  std::vector<std::string> progress;  // index/total name
  std::string trace;                  // timings (every decimal fraction) masked
  std::map<std::string, std::string> written;

  bool operator==(const Outcome& o) const {
    return message == o.message && cancelled == o.cancelled && files == o.files &&
           progress == o.progress && trace == o.trace && written == o.written;
  }
};

void PrintTo(const Outcome& o, std::ostream* out) {
  *out << o.message << (o.cancelled ? " (cancelled)" : "");
  for (const std::string& f : o.files) *out << "\n  " << f;
  *out << "\n  " << o.written.size() << " files written, " << o.trace.size() << " trace bytes";
}

// Step timings as a stream prints them: 0.0123, 1.5e-05, and 1e-05 too.
const std::regex kTiming("[0-9]+(\\.[0-9]+)?e[+-]?[0-9]+|[0-9]+\\.[0-9]+");

std::string cutShort(const std::string& path) {
  const std::string bytes = readFileBytes(path);
  return bytes.substr(0, bytes.size() / 2);
}

// Sources of the RIM job: good images, a cut-short BMP, a file that is no
// image, and names that give the same output (c.bmp fails, so c.png keeps
// c.rim; d.jpg and g.bmp keep theirs and the later ones fail).
struct RimSources {
  TempDir dir;
  RimSources() {
    const std::vector<std::pair<std::string, int>> good = {
        {"a.png", 40}, {"b.png", 56}, {"c.png", 48}, {"d.jpg", 40}, {"d.png", 32},
        {"g.bmp", 24}, {"g.png", 40}, {"g.tif", 48}, {"h.png", 64}};
    for (const auto& [name, width] : good)
      EXPECT_TRUE(SaveByExtension(patternImage(width, 24 + width / 4), dir.file(name)));
    EXPECT_TRUE(SaveByExtension(patternImage(40, 40), dir.file("c.bmp")));
    writeFileBytes(dir.file("c.bmp"), cutShort(dir.file("c.bmp")));
    writeFileBytes(dir.file("f.jpg"), "not an image at all");
  }
};

// Sources of the BMP job: RIM files, one cut short, and two names with the
// same output.
struct BmpSources {
  TempDir dir;
  BmpSources() {
    const std::vector<std::pair<std::string, int>> good = {
        {"a.rim", 40}, {"b.rim", 56}, {"x.RIM", 32}, {"x.rim", 48}, {"z.rim", 64}};
    for (const auto& [name, width] : good)
      EXPECT_EQ(testing_support::writeRimFile(dir.file(name), patternImage(width, 32)), 0);
    writeFileBytes(dir.file("c.rim"), cutShort(dir.file("b.rim")));
  }
};

enum class Target { Rim, Bmp };

// Runs one job into a fresh folder; cancelAt (when below the file count)
// asks for a cancel from the progress call of that file.
Outcome runJob(Target target, const std::string& sourceDir, unsigned jobs,
               std::size_t cancelAt = SIZE_MAX) {
  TempDir out;
  const std::vector<ListedImage> items = listImageFiles(sourceDir, false);
  Outcome outcome;
  std::atomic<bool> cancel{false};
  const BatchProgress progress = [&](std::size_t index, std::size_t total,
                                     const ListedImage& item) {
    outcome.progress.push_back(progressCounterText(index, total) + " " + item.name);
    if (index == cancelAt) cancel = true;
  };
  BatchReport report;
  {
    TraceCapture trace;
    if (target == Target::Rim) {
      RimConversionOptions options;
      options.progress = progress;
      options.cancel = &cancel;
      options.jobs = jobs;
      report = convertToRim(items, out.path(), options);
    } else {
      BmpConversionOptions options;
      options.progress = progress;
      options.cancel = &cancel;
      options.jobs = jobs;
      report = convertToBmp(items, out.path(), options);
    }
    outcome.trace = std::regex_replace(trace.text(), kTiming, "#");
  }
  // Paths into the output folder, which differs from run to run.
  const auto relative = [&](std::string text) {
    for (std::size_t at; (at = text.find(out.path())) != std::string::npos;)
      text.replace(at, out.path().size(), "OUT");
    return text;
  };
  outcome.message = relative(report.message);
  outcome.cancelled = report.cancelled;
  for (const ConversionResult& r : report.files)
    outcome.files.push_back(std::string(r.ok ? "ok " : "failed ") + r.source + " " +
                            relative(r.output) + " " + std::to_string(r.status.code()) + " " +
                            relative(r.reason));
  for (const auto& entry : std::filesystem::directory_iterator(out.path()))
    outcome.written[entry.path().filename().string()] = readFileBytes(entry.path().string());
  return outcome;
}

bool anyFile(const Outcome& o, const std::string& text) {
  return std::any_of(o.files.begin(), o.files.end(),
                     [&](const std::string& f) { return f.find(text) != std::string::npos; });
}

struct JobCase {
  Target target;
  unsigned jobs;
  std::size_t cancelAt;
};

const JobCase kCases[] = {
    {Target::Rim, 2, SIZE_MAX}, {Target::Rim, 4, SIZE_MAX}, {Target::Rim, 0, SIZE_MAX},
    {Target::Rim, 3, 4},        {Target::Bmp, 2, SIZE_MAX}, {Target::Bmp, 4, SIZE_MAX},
    {Target::Bmp, 3, 1},
};

}  // namespace

TEST(BatchJobsThreads, TheFolderCoversGoodDamagedAndCollidingFiles) {
  RimSources rim;
  const Outcome o = runJob(Target::Rim, rim.dir.path(), 1);
  EXPECT_TRUE(anyFile(o, "ok " + rim.dir.file("c.png")));
  EXPECT_TRUE(anyFile(o, "failed " + rim.dir.file("c.bmp")));
  EXPECT_TRUE(anyFile(o, "failed " + rim.dir.file("f.jpg")));
  EXPECT_TRUE(
      anyFile(o, std::string(kReasonNameTaken) + "OUT/g.rim (from " + rim.dir.file("g.bmp") + ")"));
  EXPECT_TRUE(
      anyFile(o, std::string(kReasonNameTaken) + "OUT/d.rim (from " + rim.dir.file("d.jpg") + ")"));
  BmpSources bmp;
  const Outcome b = runJob(Target::Bmp, bmp.dir.path(), 1);
  EXPECT_TRUE(anyFile(b, "failed " + bmp.dir.file("c.rim")));
  EXPECT_TRUE(anyFile(b, std::string(kReasonNameTaken) + "OUT/x.bmp"));
}

TEST(BatchJobsThreads, EveryJobCountGivesTheOneThreadResult) {
  RimSources rim;
  BmpSources bmp;
  for (const JobCase& c : kCases) {
    const std::string& dir = c.target == Target::Rim ? rim.dir.path() : bmp.dir.path();
    SCOPED_TRACE((c.target == Target::Rim ? "rim, jobs " : "bmp, jobs ") + std::to_string(c.jobs) +
                 ", cancel at " + std::to_string(c.cancelAt));
    const Outcome serial = runJob(c.target, dir, 1, c.cancelAt);
    EXPECT_EQ(runJob(c.target, dir, c.jobs, c.cancelAt), serial);
    EXPECT_EQ(serial.cancelled, c.cancelAt != SIZE_MAX);
  }
}

TEST(OrderedJobsThreads, AtMostNAtOnceAndFinishedInOrder) {
  constexpr std::size_t kCount = 24;
  for (unsigned jobs : {1u, 2u, 3u, 5u}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    std::atomic<unsigned> running{0};
    std::atomic<unsigned> most{0};
    std::vector<std::size_t> started;
    std::vector<std::size_t> finished;  // written by one thread at a time
    std::vector<std::thread::id> startThreads;
    imageio::OrderedJobs steps;
    steps.start = [&](std::size_t i) {
      started.push_back(i);
      startThreads.push_back(std::this_thread::get_id());
      return true;
    };
    steps.work = [&](std::size_t i) {
      const unsigned now = ++running;
      unsigned seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      // Later items end sooner, so that they complete out of order.
      std::this_thread::sleep_for(std::chrono::microseconds(200 * ((kCount - i) % 5)));
      --running;
    };
    steps.finish = [&](std::size_t i) { finished.push_back(i); };
    EXPECT_EQ(imageio::runOrderedJobs(kCount, jobs, steps), kCount);
    std::vector<std::size_t> inOrder(kCount);
    for (std::size_t i = 0; i < kCount; ++i) inOrder[i] = i;
    EXPECT_EQ(started, inOrder);
    EXPECT_EQ(finished, inOrder);
    EXPECT_LE(most.load(), jobs);
    EXPECT_TRUE(std::all_of(startThreads.begin(), startThreads.end(),
                            [](std::thread::id id) { return id == std::this_thread::get_id(); }));
  }
}

TEST(OrderedJobsThreads, AnItemWaitsForTheOneItIsAfter) {
  constexpr std::size_t kCount = 12;
  std::mutex mutex;
  std::vector<char> finished(kCount, 0);
  std::vector<std::size_t> notReady;
  imageio::OrderedJobs steps;
  // Every third item depends on the one just before it.
  steps.after = [](std::size_t i) { return i % 3 == 2 ? i - 1 : kCount; };
  steps.start = [&](std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex);
    if (i % 3 == 2 && finished[i - 1] == 0) notReady.push_back(i);
    return true;
  };
  steps.work = [](std::size_t i) {
    std::this_thread::sleep_for(std::chrono::microseconds(i % 3 == 1 ? 2000 : 10));
  };
  steps.finish = [&](std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex);
    finished[i] = 1;
  };
  EXPECT_EQ(imageio::runOrderedJobs(kCount, 4, steps), kCount);
  EXPECT_TRUE(notReady.empty());
}

TEST(OrderedJobsThreads, StopsStartingOnRefusalOrErrorAndFinishesWhatRan) {
  for (unsigned jobs : {1u, 3u}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    std::atomic<std::size_t> worked{0};
    std::atomic<std::size_t> finished{0};
    imageio::OrderedJobs steps;
    steps.start = [](std::size_t i) { return i < 7; };
    steps.work = [&](std::size_t) { ++worked; };
    steps.finish = [&](std::size_t) { ++finished; };
    EXPECT_EQ(imageio::runOrderedJobs(20, jobs, steps), 7u);
    EXPECT_EQ(worked.load(), 7u);
    EXPECT_EQ(finished.load(), 7u);

    worked = 0;
    steps.start = [](std::size_t) { return true; };
    steps.work = [&](std::size_t i) {
      ++worked;
      if (i == 4) throw std::runtime_error("item 4");
    };
    EXPECT_THROW(imageio::runOrderedJobs(1000, jobs, steps), std::runtime_error);
    EXPECT_LT(worked.load(), 1000u);
  }
}
