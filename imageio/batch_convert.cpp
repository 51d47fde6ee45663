#include "imageio/batch_convert.h"

#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "platform/directory.h"

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

// Guards the listed sources against being written over by an output.
class SourceGuard {
 public:
  explicit SourceGuard(const std::vector<ListedImage>& items) {
    for (const ListedImage& item : items) sources_.insert(pathIdentity(item.path));
  }
  bool wouldOverwrite(const std::string& output) const {
    return sources_.count(pathIdentity(output)) != 0;
  }

 private:
  std::set<std::string> sources_;
};

const char* const kReasonOverwrite = "the output would overwrite a listed source file";
const char* const kReasonCancelled = "the conversion was cancelled";

// A status message without its final newline, as a reason.
std::string reasonOf(Status code) {
  std::string text = statusMessage(code);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

bool cancelled(const std::atomic<bool>* flag) {
  return flag != nullptr && flag->load(std::memory_order_relaxed);
}

// The final message: success, or the title followed by one entry per failed
// file, each ending in a newline.
std::string finalMessage(const BatchReport& report, const char* done, const char* failedTitle,
                         bool listOutputs) {
  if (report.failedCount() == 0) return done;
  std::string text = failedTitle;
  for (const ConversionResult& r : report.files)
    if (!r.ok) text += (listOutputs ? r.output : r.name) + "\n";
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
  const std::string refusal = checkRimConversionStart(saveDir, items.size());
  if (!refusal.empty()) {
    report.refused = true;
    report.message = refusal;
    return report;
  }

  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  if (options.configFile.empty())
    loadConversionParameters(common, learning, compression);
  else
    loadConversionParameters(options.configFile, common, learning, compression);
  if (options.method == "PCA") {
    learning.MaxIterations = 0;
  } else if (options.method == "ICA" && learning.MaxIterations == 0) {
    learning.MaxIterations = 100;
  }
  const RdOptions rd = applyEncoderSettings(options.settings, common, learning, compression);

  const SourceGuard guard(items);
  for (std::size_t i = 0; i < items.size(); ++i) {
    ConversionResult result;
    result.name = items[i].name;
    result.source = items[i].path;
    result.output = batchOutputPath(saveDir, items[i].name, "rim");
    if (report.cancelled || cancelled(options.cancel)) {
      report.cancelled = true;
      result.reason = kReasonCancelled;
      report.files.push_back(std::move(result));
      continue;
    }
    if (options.progress) options.progress(i, items.size(), items[i]);

    if (guard.wouldOverwrite(result.output)) {
      result.reason = kReasonOverwrite;
      report.files.push_back(std::move(result));
      continue;
    }
    auto codec = std::make_unique<CRIMCodec>();
    codec->rd = rd;
    result.status = codec->setParameters(&common, &learning, &compression);
    if (result.status != status::Success) {
      result.reason = "the conversion parameters were refused";
      report.files.push_back(std::move(result));
      continue;
    }
    CImageEx image;
    std::string loadError;
    // A RIM source or an unreadable file leaves the image empty, which the
    // encoder refuses.
    if (!LoadWithImageLibrary(items[i].path, image, &loadError))
      result.reason = "the source cannot be read as an image: " + loadError;
    result.status = codec->encodeFile(result.output, image, nullptr);
    result.ok = result.status == status::Success;
    if (result.ok) result.reason.clear();
    if (!result.ok && result.reason.empty()) result.reason = reasonOf(result.status);
    report.files.push_back(std::move(result));
  }
  report.message = finalMessage(report, kMsgRimDone, kMsgRimFailed, true);
  return report;
}

BatchReport convertToBmp(const std::vector<ListedImage>& items, const std::string& saveDir,
                         const BmpConversionOptions& options) {
  BatchReport report;
  const bool saveDirExists = isDirectory(saveDir);
  const SourceGuard guard(items);
  for (std::size_t i = 0; i < items.size(); ++i) {
    ConversionResult result;
    result.name = items[i].name;
    result.source = items[i].path;
    result.output = batchOutputPath(saveDir, items[i].name, "bmp");
    if (report.cancelled || cancelled(options.cancel)) {
      report.cancelled = true;
      result.reason = kReasonCancelled;
      report.files.push_back(std::move(result));
      continue;
    }
    if (options.progress) options.progress(i, items.size(), items[i]);

    if (!saveDirExists) {
      result.reason = kReasonSaveDirMissing;
    } else if (guard.wouldOverwrite(result.output)) {
      result.reason = kReasonOverwrite;
    } else {
      CImageEx image;
      auto codec = std::make_unique<CRIMCodec>();
      result.status = codec->decodeFile(image, items[i].path);
      if (result.status != status::Success) {
        result.reason = reasonOf(result.status);
      } else if (!SaveWithFormat(image, result.output, "bmp")) {
        // Always a BMP file, even when cutting the name gave an extension no
        // writer knows (image.trim -> image.tbmp); a file that could not be
        // written is a failure like any other.
        result.reason = "the BMP file cannot be written";
      } else {
        result.ok = true;
      }
    }
    report.files.push_back(std::move(result));
  }
  report.message = finalMessage(report, kMsgBmpDone, kMsgBmpFailed, false);
  return report;
}
