// folim-cli convert-to-rim and convert-to-bmp: the two batch conversions of
// a folder's image files into one save folder.
#include <ostream>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "cli/encoder_options.h"
#include "imageio/batch_convert.h"
#include "imageio/listing.h"

namespace cli {
namespace {

enum class Target { Rim, Bmp };

// --jobs: a whole number from 1 to 256, or 0 when it is not one.
unsigned parseJobs(const std::string& text) {
  if (text.empty() || text.size() > 3) return 0;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= 256 ? value : 0;
}

// The final message, ending in a newline.
void printMessage(std::ostream& out, const std::string& message) {
  out << message;
  if (message.empty() || message.back() != '\n') out << "\n";
  out.flush();
}

int convertFolder(Invocation& inv, Target target) {
  const bool toRim = target == Target::Rim;
  const std::string prefix = toRim ? "folim-cli convert-to-rim: " : "folim-cli convert-to-bmp: ";
  const std::string usage =
      toRim ? std::string(
                  "Usage: folim-cli convert-to-rim [--config FILE] [--method pca|ica] "
                  "[--recursive] [--jobs N]\n                                ") +
                  kEncoderOptionsUsage + " SOURCE_DIR SAVE_DIR\n"
            : "Usage: folim-cli convert-to-bmp [--recursive] [--jobs N] SOURCE_DIR SAVE_DIR\n";
  std::vector<std::string> flags = {"recursive"};
  if (toRim) flags.push_back("no-rdo");
  const ParsedArgs args =
      toRim ? parseArgs(inv.args, withEncoderValueOptions({"config", "method", "jobs"}), flags)
            : parseArgs(inv.args, {"jobs"}, flags);
  if (!args.error.empty() || args.positional.size() != 2) {
    inv.err << prefix << (args.error.empty() ? "expected SOURCE_DIR and SAVE_DIR" : args.error)
            << "\n"
            << usage;
    return kExitUsage;
  }
  std::string method = "PCA";  // the form's first choice
  if (args.has("method")) {
    method = methodChoice(args.value("method"));
    if (method.empty()) {
      inv.err << prefix << "--method must be pca or ica\n" << usage;
      return kExitUsage;
    }
  }
  unsigned jobs = 0;  // one file per core
  if (args.has("jobs")) {
    jobs = parseJobs(args.value("jobs"));
    if (jobs == 0) {
      inv.err << prefix << "--jobs expects a number from 1 to 256\n" << usage;
      return kExitUsage;
    }
  }
  EncoderSettings settings;
  std::string settingsError;
  if (toRim && !readEncoderSettings(args, settings, settingsError)) {
    inv.err << prefix << settingsError << "\n" << usage;
    return kExitUsage;
  }
  const std::string& sourceDir = args.positional[0];
  const std::string& saveDir = args.positional[1];
  const std::string sourceProblem = folderProblem(sourceDir);
  if (!sourceProblem.empty()) {
    inv.err << prefix << sourceDir << ": " << sourceProblem << "\n";
    return kExitFailed;
  }

  const std::string configProblem =
      toRim && args.has("config") ? configFileProblem(args.value("config")) : std::string();
  if (!configProblem.empty()) {
    inv.err << prefix << args.value("config") << ": " << configProblem << "\n";
    return kExitFailed;
  }

  std::vector<UnreadableFolder> unreadable;
  const std::vector<ListedImage> items =
      listImageFiles(sourceDir, args.has("recursive"), &unreadable);
  ProgressLine progressLine(inv.err, inv.quiet);
  const BatchProgress progress = [&](std::size_t index, std::size_t total,
                                     const ListedImage& item) {
    progressLine.show(index, total, item.name);
  };

  BatchReport report;
  if (toRim) {
    RimConversionOptions options;
    options.method = method;
    options.configFile = args.value("config");
    options.settings = settings;
    options.progress = progress;
    options.jobs = jobs;
    options.unreadableFolders = unreadable;
    report = convertToRim(items, saveDir, options);
  } else {
    const std::string saveProblem = folderProblem(saveDir);
    if (!saveProblem.empty()) inv.err << prefix << saveDir << ": " << saveProblem << "\n";
    BmpConversionOptions options;
    options.progress = progress;
    options.jobs = jobs;
    options.unreadableFolders = unreadable;
    report = convertToBmp(items, saveDir, options);
  }
  progressLine.finish();

  if (report.refused) {
    inv.err << prefix << report.message << "\n";
    return kExitFailed;
  }
  // Why each file failed, beside the job's own message.
  for (const ConversionResult& r : report.files)
    if (!r.ok && r.reason != kReasonSaveDirMissing)
      inv.err << prefix << r.source << ": " << r.reason << "\n";
  inv.err.flush();
  printMessage(inv.out, report.message);
  return report.succeeded() ? kExitOk : kExitFailed;
}

}  // namespace

int runConvertToRim(Invocation& inv) { return convertFolder(inv, Target::Rim); }
int runConvertToBmp(Invocation& inv) { return convertFolder(inv, Target::Bmp); }

}  // namespace cli
