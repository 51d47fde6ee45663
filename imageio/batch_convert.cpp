#include "imageio/batch_convert.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <system_error>

#include "codec/parameter_checks.h"
#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "imageio/image_damage.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "imageio/ordered_jobs.h"
#include "numeric/parallel.h"
#include "platform/atomic_file.h"
#include "platform/directory.h"
#include "platform/regular_file.h"

namespace {

bool isDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// A comparable form of a path, whether or not the file exists.
std::string pathIdentity(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

// The file's own name, in its own case, from its path.
std::string fileNameOf(const ListedImage& item) {
  const std::size_t slash = item.path.find_last_of('/');
  return slash == std::string::npos ? item.path : item.path.substr(slash + 1);
}

// A status message without its final newline, as a reason.
std::string reasonOf(Status code) {
  std::string text = statusMessage(code);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// The reason of a file that could not be written, from the errno its
// writer left.
std::string writeFailure(Status code, int error) {
  if (error != 0) return "cannot write: " + platform::writeErrorText(error);
  return "cannot write: " + reasonOf(code);
}

bool cancelled(const std::atomic<bool>* flag) {
  return flag != nullptr && flag->load(std::memory_order_relaxed);
}

// Each listed file's output, decided before any work: a file whose output
// would replace a listed source gets a refusal instead.
struct PlannedFile {
  ConversionResult result;  // name, source and output filled in
  std::string refusal;      // non-empty: the file is not converted
  std::string identity;     // the output's comparable path
};

std::vector<PlannedFile> planOutputs(const std::vector<ListedImage>& items,
                                     const std::string& saveDir, const std::string& extension) {
  std::set<std::string> sources;
  for (const ListedImage& item : items) sources.insert(pathIdentity(item.path));
  std::vector<PlannedFile> plan;
  plan.reserve(items.size());
  for (const ListedImage& item : items) {
    PlannedFile file;
    file.result.name = item.name;
    file.result.source = item.path;
    file.result.output = batchOutputPath(saveDir, fileNameOf(item), extension);
    file.identity = pathIdentity(file.result.output);
    if (sources.count(file.identity) != 0) file.refusal = kReasonOverwrite;
    // A device, FIFO or socket in the way fails before any work on the file.
    if (const int refusal = platform::targetRefusal(file.result.output);
        file.refusal.empty() && refusal != 0)
      file.refusal = "cannot write: " + platform::writeErrorText(refusal);
    plan.push_back(std::move(file));
  }
  return plan;
}

// For each planned file, the nearest earlier file with the same output, or
// the number of files when there is none.
std::vector<std::size_t> earlierSameOutput(const std::vector<PlannedFile>& plan) {
  std::vector<std::size_t> earlier(plan.size(), plan.size());
  std::map<std::string, std::size_t> last;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const auto [it, fresh] = last.emplace(plan[i].identity, i);
    if (!fresh) {
      earlier[i] = it->second;
      it->second = i;
    }
  }
  return earlier;
}

// The parameters every file of a RIM job is encoded with.
struct RimJob {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  RdOptions rd;
  std::string configFile;  // the file the parameters came from
};

// One file to RIM: the checks that need no pixels, then the load and the
// encode. The result says what became of it and why.
ConversionResult convertOneToRim(PlannedFile planned, const RimJob& job) {
  ConversionResult result = std::move(planned.result);
  if (!planned.refusal.empty()) {
    result.reason = planned.refusal;
    return result;
  }
  auto codec = std::make_unique<CRIMCodec>();
  codec->rd = job.rd;
  result.status = codec->setParameters(&job.common, &job.learning, &job.compression);
  if (result.status != status::Success) {
    result.reason = "the conversion parameters were refused: " + reasonOf(result.status);
    const std::string cause = describeParameterFault(
        findParameterFault(job.common, job.learning, job.compression), job.configFile);
    if (!cause.empty()) result.reason += " (" + cause + ")";
    return result;
  }
  std::string why;
  int width = 0, height = 0;
  if (ReadImageSize(result.source, width, height, &why) &&
      codec->checkImageSize(static_cast<std::uint32_t>(width),
                            static_cast<std::uint32_t>(height)) != status::Success) {
    result.status = status::InvalidValues;
    result.reason = "the image is too large to encode (" + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels)";
    return result;
  }
  const std::string damage = imageio::imageDamage(result.source);
  if (!damage.empty()) {
    result.status = status::InvalidValues;
    result.reason = damage;
    return result;
  }
  CImageEx image;
  if (!LoadWithImageLibrary(result.source, image, &why)) {
    // A RIM source or an unreadable file gives no image, which the encoder
    // would refuse with this status.
    result.status = status::InvalidValues;
    result.reason = "the source cannot be read as an image: " + why;
    return result;
  }
  errno = 0;
  result.status = codec->encodeFile(result.output, image, nullptr);
  const int error = errno;
  result.ok = result.status == status::Success;
  if (result.ok) return result;
  result.reason = result.status == status::CannotOpenFile || result.status == status::WriteFailed
                      ? writeFailure(result.status, error)
                      : reasonOf(result.status);
  return result;
}

// One RIM file to BMP.
ConversionResult convertOneToBmp(PlannedFile planned, bool saveDirExists) {
  ConversionResult result = std::move(planned.result);
  if (!saveDirExists) {
    result.reason = kReasonSaveDirMissing;
    return result;
  }
  if (!planned.refusal.empty()) {
    result.reason = planned.refusal;
    return result;
  }
  CImageEx image;
  auto codec = std::make_unique<CRIMCodec>();
  errno = 0;
  result.status = codec->decodeFile(image, result.source);
  if (result.status == status::CannotOpenFile) {
    const int error = errno;
    result.reason = platform::existsButIsNotRegular(result.source)
                        ? std::string("cannot read: ") + platform::kNotRegularFile
                        : "cannot read: " + std::string(std::strerror(error != 0 ? error : EIO));
    return result;
  }
  if (result.status != status::Success) {
    result.reason = "cannot decode: " + reasonOf(result.status);
    return result;
  }
  // Always a BMP file, even when cutting the name gave an extension no
  // writer knows (image.trim -> image.tbmp).
  std::string why;
  result.ok = SaveWithFormat(image, result.output, "bmp", &why);
  if (!result.ok) result.reason = why;
  return result;
}

// Runs the planned files in listing order, on up to `jobs` threads, then adds
// the folders that could not be read. An output written by an earlier file of
// the job is never replaced: the later file with the same output name fails
// instead. Progress, cancelling and the name checks happen on the calling
// thread in listing order, so the report is the one-thread report.
template <typename ConvertOne>
void runJob(BatchReport& report, const std::vector<ListedImage>& items,
            std::vector<PlannedFile> plan, const std::vector<UnreadableFolder>& unreadable,
            const BatchProgress& progress, const std::atomic<bool>* cancel, unsigned jobs,
            const ConvertOne& convertOne) {
  const std::size_t count = plan.size();
  const std::vector<std::size_t> earlier = earlierSameOutput(plan);
  std::vector<ConversionResult> results(count);
  // The earliest file that wrote each file's output, once known.
  std::vector<std::size_t> writer(count, count);
  // On several threads each file's trace is kept apart and written whole.
  const bool threaded = imageio::batchThreads(jobs) > 1 && count > 1;
  const bool keepTrace = threaded && !traceDiscarded();
  std::vector<std::ostringstream> traces(keepTrace ? count : 0);
  // Files side by side already fill the cores: each file's own loops get a
  // share of them (one core each by default), so that threads do not fight.
  const std::size_t side = std::min<std::size_t>(imageio::batchThreads(jobs), count);
  const auto share = static_cast<std::uint32_t>(
      std::max<std::size_t>(1, KPX::threadCount() / std::max<std::size_t>(1, side)));

  imageio::OrderedJobs steps;
  steps.after = [&](std::size_t i) { return earlier[i]; };
  steps.start = [&](std::size_t i) {
    if (cancelled(cancel)) return false;
    if (progress) progress(i, items.size(), items[i]);
    const std::size_t before = earlier[i];
    if (before < count) writer[i] = results[before].ok ? before : writer[before];
    if (writer[i] < count && plan[i].refusal.empty())
      plan[i].refusal =
          kReasonNameTaken + plan[i].result.output + " (from " + results[writer[i]].source + ")";
    return true;
  };
  steps.work = [&](std::size_t i) {
    std::unique_ptr<ThreadTraceTarget> apart;
    std::unique_ptr<KPX::ThreadLimit> limit;
    if (threaded) {
      apart = std::make_unique<ThreadTraceTarget>(keepTrace ? &traces[i] : nullptr);
      limit = std::make_unique<KPX::ThreadLimit>(share);
    }
    results[i] = convertOne(std::move(plan[i]));
  };
  steps.finish = [&](std::size_t i) {
    if (keepTrace) {
      traceWhole(traces[i].str());
      traces[i] = std::ostringstream();
    }
  };
  const std::size_t started = imageio::runOrderedJobs(count, jobs, steps);
  report.cancelled = started < count;
  for (std::size_t i = started; i < count; ++i) {
    results[i] = std::move(plan[i].result);
    results[i].reason = kReasonCancelled;
  }
  for (ConversionResult& result : results) report.files.push_back(std::move(result));
  for (const UnreadableFolder& folder : unreadable) {
    ConversionResult result;
    result.source = folder.path;
    result.reason = "cannot read the folder: " + folder.reason;
    report.files.push_back(std::move(result));
  }
}

// The final message: success, or the title followed by one line per failed
// file naming the source and why it failed.
std::string finalMessage(const BatchReport& report, const char* done, const char* failedTitle) {
  if (report.failedCount() == 0) return done;
  std::string text = failedTitle;
  for (const ConversionResult& r : report.files)
    if (!r.ok) text += r.source + ": " + r.reason + "\n";
  return text;
}

}  // namespace

std::size_t BatchReport::failedCount() const {
  std::size_t n = 0;
  for (const ConversionResult& r : files)
    if (!r.ok) ++n;
  return n;
}

std::string progressCounterText(std::size_t index, std::size_t total) {
  return stringf("%zu/%zu", index + 1, total);
}

std::string batchOutputPath(const std::string& saveDir, const std::string& name,
                            const std::string& extension) {
  const std::string stem = name.size() >= 3 ? name.substr(0, name.size() - 3) : std::string();
  return platform::joinPath(saveDir, stem + extension);
}

std::string checkRimConversionStart(const std::string& saveDir, std::size_t fileCount) {
  // The save folder must be a folder: a plain file of that name would make
  // every output fail.
  if (!isDirectory(saveDir)) return kMsgSaveDirMissing;
  if (fileCount == 0) return kMsgNoFiles;
  return {};
}

BatchReport convertToRim(const std::vector<ListedImage>& items, const std::string& saveDir,
                         const RimConversionOptions& options) {
  BatchReport report;
  const std::string refusal =
      checkRimConversionStart(saveDir, items.size() + options.unreadableFolders.size());
  if (!refusal.empty()) {
    report.refused = true;
    report.message = refusal;
    return report;
  }

  RimJob job;
  job.configFile = options.configFile.empty() ? configPath() : options.configFile;
  loadConversionParameters(job.configFile, job.common, job.learning, job.compression);
  if (options.method == "PCA") {
    job.learning.MaxIterations = 0;
  } else if (options.method == "ICA" && job.learning.MaxIterations == 0) {
    job.learning.MaxIterations = 100;
  }
  job.rd = applyEncoderSettings(options.settings, job.common, job.learning, job.compression);

  runJob(report, items, planOutputs(items, saveDir, "rim"), options.unreadableFolders,
         options.progress, options.cancel, options.jobs,
         [&job](PlannedFile planned) { return convertOneToRim(std::move(planned), job); });
  report.message = finalMessage(report, kMsgRimDone, kMsgRimFailed);
  return report;
}

BatchReport convertToBmp(const std::vector<ListedImage>& items, const std::string& saveDir,
                         const BmpConversionOptions& options) {
  BatchReport report;
  const bool saveDirExists = isDirectory(saveDir);
  runJob(report, items, planOutputs(items, saveDir, "bmp"), options.unreadableFolders,
         options.progress, options.cancel, options.jobs, [saveDirExists](PlannedFile planned) {
           return convertOneToBmp(std::move(planned), saveDirExists);
         });
  report.message = finalMessage(report, kMsgBmpDone, kMsgBmpFailed);
  return report;
}
