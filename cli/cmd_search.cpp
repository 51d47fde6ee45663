// folim-cli search: ranks the RIM files of a folder by similarity to a query
// RIM file, with the same search the desktop application runs.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "cli/index_support.h"
#include "cli/search_output.h"
#include "codec/rim_codec.h"
#include "imageio/listing.h"
#include "index/search_pipeline.h"
#include "numeric/parallel.h"
#include "retrieval/color_mode.h"
#include "retrieval/search.h"

namespace cli {
namespace {

const char* const kUsage =
    "Usage: folim-cli search [--color-mode block|histogram|csd | --measure NAME]\n"
    "                        [--color-weight PERCENT]\n"
    "                        [--recursive] [--top N] [--threads N] [--null | --json]\n"
    "                        [--index FILE] [--no-refresh] [--shortlist N]\n"
    "                        [--root NAME=DIR] QUERY DIR\n";

int usageError(Invocation& inv, const std::string& what) {
  inv.err << "folim-cli search: " << what << "\n" << kUsage;
  return kExitUsage;
}

void printRanking(Invocation& inv, const std::vector<ImageEntry>& ranking, long top,
                  SearchFormat format) {
  std::size_t shown = 0;
  for (const ImageEntry& c : ranking) {
    if (top >= 0 && shown == static_cast<std::size_t>(top)) break;
    printSearchCandidate(inv.out, c, format);
    ++shown;
  }
}

// What the search over the index tells on standard error as it goes: the
// refresh as the index command shows it, rebuilds and dropped entries.
class SearchConsole : public IndexedSearchObserver {
 public:
  SearchConsole(std::ostream& err, const std::string& prefix)
      : err_(err), prefix_(prefix), refresh_(err, prefix) {}

  void RefreshStarted() override { refresh_.Start(); }
  void Indexing(std::size_t done, std::size_t total) override { refresh_.Report(done, total); }
  void Refreshed(const RefreshCounts& counts) override {
    refresh_.End();
    refresh_.ListFailures(counts);
  }
  void Rebuilt(const std::string& notice) override {
    refresh_.End();
    if (!notice.empty()) err_ << prefix_ << notice << "\n";
  }
  void RowsDropped(std::size_t count) override {
    err_ << prefix_ << count << " damaged index entries dropped\n";
  }

  const std::atomic<bool>* stopFlag() const { return refresh_.stopFlag(); }
  void End() { refresh_.End(); }

 private:
  std::ostream& err_;
  const std::string prefix_;
  RefreshConsole refresh_;
};

// Why the search over the index gave no ranking, as the index commands say
// it; empty when it did.
std::string indexedFailure(const IndexedSearchResult& result, const SignatureIndex& index,
                           const IndexedSearchRequest& request, const std::string& dir) {
  const std::string file = index.file();
  if (!result.rebuildError.empty())
    return "cannot open the index " + file + ": " + result.rebuildError;
  switch (result.outcome) {
    case IndexedSearchOutcome::CannotUpdate:
      return "cannot update the index " + file + ": " + result.error;
    case IndexedSearchOutcome::CannotRead:
      return "cannot read the index " + file + ": " + result.error;
    case IndexedSearchOutcome::QueryUnreadable:
      // As the search without the index says it.
      return "The query cannot be read: " + request.queryPath + ": " +
             failureCause({request.queryPath, result.queryStatus, result.queryCause});
    case IndexedSearchOutcome::Stopped:
      return "interrupted";
    default:
      break;
  }
  // Damaged entries stay in the index: the ranking stands without them, but
  // the index could not be mended.
  if (!result.dropError.empty()) return "cannot update the index " + file + ": " + result.dropError;
  if (result.outcome == IndexedSearchOutcome::NothingRanked)
    return "no picture of " + dir + " can be ranked against the query";
  return {};
}

// The search over the signature index: any image as the query, every
// picture of the folder ranked, in two stages.
int searchIndexed(Invocation& inv, const ParsedArgs& args, const SearchRequest& plain,
                  const std::string& dir, long top, SearchFormat format) {
  const std::string prefix = "folim-cli search: ";
  IndexedSearchRequest request;
  if (args.has("shortlist")) {
    const long n = parseCount(args.value("shortlist"), 0, 999999999);
    if (n < 0) return usageError(inv, "--shortlist expects a whole number (0: every entry)");
    request.shortlist = static_cast<std::size_t>(n);
  }
  std::vector<LibraryRoot> roots;
  std::string rootProblem;
  if (!parseRoots(args, roots, rootProblem)) return usageError(inv, rootProblem);
  const std::string problem = inputFileProblem(plain.queryPath);
  if (!problem.empty()) {
    inv.err << prefix << plain.queryPath << ": " << problem << "\n";
    return kExitFailed;
  }
  SignatureIndex index;
  if (!openIndex(index, args.value("index"), prefix, inv.err) ||
      !keepRoots(index, roots, prefix, inv.err))
    return kExitFailed;
  const SignatureParameters parameters = currentSignatureParameters();
  request.queryPath = plain.queryPath;
  request.folder = dir;
  request.recursive = args.has("recursive");
  request.colorMode = *ColorModeOf(plain.colorMode);
  request.colorWeight = ColorWeightFromText(plain.colorWeightText);
  request.threads = plain.threads;
  request.refresh = !args.has("no-refresh");
  request.params = signatureParametersKey(parameters);
  request.listPictures = listIndexablePictures;
  request.signatureOf = IndexSignatureSource(parameters);
  SearchConsole console(inv.err, prefix);
  request.stop = console.stopFlag();
  const IndexedSearchResult result = RunIndexedSearch(index, request, console);
  console.End();
  const std::string failure = indexedFailure(result, index, request, dir);
  if (!failure.empty()) {
    inv.err << prefix << failure << "\n";
    return result.outcome == IndexedSearchOutcome::Stopped ? 130 : kExitFailed;
  }
  printRanking(inv, result.ranking, top, format);
  return kExitOk;
}

}  // namespace

int runSearch(Invocation& inv) {
  const ParsedArgs args = parseArgs(
      inv.args,
      {"color-mode", "measure", "color-weight", "top", "threads", "index", "shortlist", "root"},
      {"recursive", "no-refresh", "null", "json"});
  if (!args.error.empty()) return usageError(inv, args.error);
  if (args.has("null") && args.has("json"))
    return usageError(inv, "--null and --json cannot be used together");
  const SearchFormat format = args.has("null")   ? SearchFormat::Null
                              : args.has("json") ? SearchFormat::Json
                                                 : SearchFormat::Lines;
  if (args.positional.size() != 2) return usageError(inv, "expects QUERY.rim and DIR");

  SearchRequest request;
  request.queryPath = args.positional[0];
  const std::string dir = args.positional[1];

  // The colour measure; choosing one presets its weight, as the form does.
  ColorMode mode = kDefaultColorMode;
  if (args.has("color-mode") && args.has("measure"))
    return usageError(inv, "--color-mode and --measure cannot be used together");
  if (args.has("color-mode")) {
    const std::string name = args.value("color-mode");
    const std::optional<ColorMode> named = measureNamed(name, false);
    if (!named) return usageError(inv, "unknown colour mode '" + name + "'");
    mode = *named;
  }
  if (args.has("measure")) {
    const std::string name = args.value("measure");
    const std::optional<ColorMode> named = measureNamed(name, true);
    if (!named) return usageError(inv, "unknown measure '" + name + "'");
    mode = *named;
  }
  // The robust measure ranks signatures, which only the index path holds.
  const bool indexed = args.has("index") || args.has("no-refresh") || args.has("shortlist") ||
                       args.has("root") || mode == ColorMode::Robust;
  request.colorMode = NumberOf(mode);
  request.colorWeightText = std::to_string(PresetColorPercent(mode));
  if (args.has("color-weight")) {
    const std::string text = args.value("color-weight");
    // The form only offers 0 to 100; a typing error should not silently
    // become a weight of 0.
    double percent = -1.0;
    const std::from_chars_result r =
        std::from_chars(text.data(), text.data() + text.size(), percent, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !(percent >= 0.0) ||
        percent > 100.0)
      return usageError(inv, "--color-weight expects a percentage from 0 to 100");
    request.colorWeightText = text;
  }
  long top = -1;
  if (args.has("top")) {
    top = parseCount(args.value("top"), 1, 999999999);
    if (top < 0) return usageError(inv, "--top expects a positive whole number");
  }
  request.threads = KPX::coreCount();
  if (args.has("threads")) {
    const long threads = parseCount(args.value("threads"), 1, 256);
    if (threads < 0) return usageError(inv, "--threads expects a number from 1 to 256");
    request.threads = static_cast<unsigned>(threads);
  }

  std::error_code error;
  if (!std::filesystem::is_directory(dir, error)) {
    inv.err << "folim-cli search: cannot read the folder " << dir << "\n";
    return kExitFailed;
  }

  if (indexed) return searchIndexed(inv, args, request, dir, top, format);

  // The query's base type is the learning flag in its header; a file whose
  // header cannot be read is no RIM file.
  std::uint16_t learningMethod = 0;
  CRIMCodec codec;
  request.queryBaseType = codec.readLearningMethod(request.queryPath, learningMethod) == 0
                              ? learningMethod
                              : kBaseTypeOther;

  // The folder as the document lists it: image names only, in the
  // platform's order, sub-folders descended where they stand.
  const std::vector<ImageEntry> entries = listImageEntries(dir, args.has("recursive"));
  const SearchResult result = RunSearch(request, entries);
  if (result.outcome != SearchOutcome::Ranked) {
    inv.err << result.message << "\n";
    return kExitFailed;
  }
  printRanking(inv, result.candidates, top, format);
  return kExitOk;
}

}  // namespace cli
