// folim-cli search: ranks the RIM files of a folder by similarity to a query
// RIM file, with the same search the desktop application runs.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "cli/index_support.h"
#include "cli/search_output.h"
#include "codec/rim_codec.h"
#include "imageio/listing.h"
#include "index/query_signature.h"
#include "index/ranking.h"
#include "numeric/parallel.h"
#include "numeric/trace.h"
#include "retrieval/search.h"

namespace cli {
namespace {

const char* const kUsage =
    "Usage: folim-cli search [--color-mode block|histogram|csd] [--color-weight PERCENT]\n"
    "                        [--recursive] [--top N] [--threads N] [--null | --json]\n"
    "                        [--index FILE] [--no-refresh] [--shortlist N] QUERY DIR\n";

int usageError(Invocation& inv, const std::string& what) {
  inv.err << "folim-cli search: " << what << "\n" << kUsage;
  return kExitUsage;
}

void printRanking(Invocation& inv, const std::vector<ImageEntry>& ranking, long top,
                  SearchFormat format, const std::string& folder, const std::string& spelled) {
  std::size_t shown = 0;
  for (const ImageEntry& c : ranking) {
    if (top >= 0 && shown == static_cast<std::size_t>(top)) break;
    if (folder.empty()) {
      printSearchCandidate(inv.out, c, format);
    } else {
      ImageEntry spelledEntry = c;
      spelledEntry.path = asSpelled(c.path, folder, spelled);
      printSearchCandidate(inv.out, spelledEntry, format);
    }
    ++shown;
  }
}

// The search over the signature index: any image as the query, every
// picture of the folder ranked, in two stages.
int searchIndexed(Invocation& inv, const ParsedArgs& args, const SearchRequest& request,
                  const std::string& dir, long top, SearchFormat format) {
  const std::string prefix = "folim-cli search: ";
  std::size_t shortlist = kDefaultShortlist;
  if (args.has("shortlist")) {
    const long n = parseCount(args.value("shortlist"), 0, 999999999);
    if (n < 0) return usageError(inv, "--shortlist expects a whole number (0: every entry)");
    shortlist = static_cast<std::size_t>(n);
  }
  const std::string problem = inputFileProblem(request.queryPath);
  if (!problem.empty()) {
    inv.err << prefix << request.queryPath << ": " << problem << "\n";
    return kExitFailed;
  }
  SignatureIndex index;
  if (!openIndex(index, args.value("index"), prefix, inv.err)) return kExitFailed;
  const SignatureParameters parameters = currentSignatureParameters();
  const std::string params = signatureParametersKey(parameters);
  const std::string folder = indexFolder(dir);
  const bool recursive = args.has("recursive");
  const bool refresh = !args.has("no-refresh");
  IndexedQuery query;
  query.colorMode = request.colorMode;
  query.colorWeight = ColorWeightFromText(request.colorWeightText);
  query.shortlist = shortlist;
  query.threads = request.threads;
  std::vector<ImageEntry> ranking;
  // A second round follows when the first found damage: after a rebuild,
  // or after damaged entries were dropped, which the refresh learns again.
  for (int round = 0; round < 2; ++round) {
    const bool again = round == 0;
    if (refresh) {
      RefreshCounts counts;
      if (!refreshIndexedFolder(index, folder, recursive, request.threads, parameters, prefix,
                                inv.err, counts))
        return kExitFailed;
      if (counts.interrupted) {
        inv.err << prefix << "interrupted\n";
        return 130;
      }
    }
    std::string cause;
    const Status status = QuerySignature(
        index, indexFolder(request.queryPath), params,
        [&parameters](const std::string& path, Signature& signature, std::string& why) {
          TraceTarget quiet(nullptr);
          return FileSignature(path, parameters, signature, &why);
        },
        query.query, &cause);
    if (status != status::Success) {
      // As the search without the index says it.
      inv.err << prefix << "The query cannot be read: " << request.queryPath << ": "
              << failureCause({request.queryPath, status, cause}) << "\n";
      return kExitFailed;
    }
    std::vector<std::int64_t> damaged;
    std::string error;
    if (!RankIndexed(index, folder, recursive, params, query, ranking, damaged, error)) {
      if (again && index.damaged()) {
        if (!rebuildDamagedIndex(index, prefix, inv.err)) return kExitFailed;
        continue;
      }
      inv.err << prefix << "cannot read the index " << index.file() << ": " << error << "\n";
      return kExitFailed;
    }
    if (damaged.empty()) break;
    // Dropped rows are made again by the refresh.
    inv.err << prefix << damaged.size() << " damaged index entries dropped\n";
    if (!index.DropRows(damaged)) {
      if (again && index.damaged()) {
        if (!rebuildDamagedIndex(index, prefix, inv.err)) return kExitFailed;
        continue;
      }
      inv.err << prefix << "cannot update the index " << index.file() << ": " << index.lastError()
              << "\n";
      return kExitFailed;
    }
    if (!refresh) break;
  }
  if (ranking.empty()) {
    inv.err << prefix << "no picture of " << dir << " can be ranked against the query\n";
    return kExitFailed;
  }
  printRanking(inv, ranking, top, format, folder, dir);
  return kExitOk;
}

}  // namespace

int runSearch(Invocation& inv) {
  const ParsedArgs args =
      parseArgs(inv.args, {"color-mode", "color-weight", "top", "threads", "index", "shortlist"},
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
  request.colorMode = 2;
  std::string presetWeight = "70";
  if (args.has("color-mode")) {
    const std::string mode = args.value("color-mode");
    if (mode == "block") {
      request.colorMode = 0;
      presetWeight = "90";
    } else if (mode == "histogram") {
      request.colorMode = 1;
      presetWeight = "75";
    } else if (mode == "csd") {
      request.colorMode = 2;
      presetWeight = "70";
    } else {
      return usageError(inv, "unknown colour mode '" + mode + "'");
    }
  }
  request.colorWeightText = presetWeight;
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

  if (args.has("index") || args.has("no-refresh") || args.has("shortlist"))
    return searchIndexed(inv, args, request, dir, top, format);

  // The query's base type is the learning flag in its header; a file whose
  // header cannot be read is no RIM file.
  std::uint16_t learningMethod = 0;
  CRIMCodec codec;
  request.queryBaseType = codec.readLearningMethod(request.queryPath, learningMethod) == 0
                              ? learningMethod
                              : kBaseTypeOther;

  // The folder as the document lists it: image names only, in the
  // platform's order, sub-folders descended where they stand.
  std::vector<ImageEntry> entries;
  for (const ListedImage& listed : listImageFiles(dir, args.has("recursive"))) {
    ImageEntry e;
    e.name = listed.name;
    e.path = listed.path;
    e.baseType = kBaseTypeUninspected;
    entries.push_back(std::move(e));
  }
  const SearchResult result = RunSearch(request, entries);
  if (result.outcome != SearchOutcome::Ranked) {
    inv.err << result.message << "\n";
    return kExitFailed;
  }
  printRanking(inv, result.candidates, top, format, std::string(), std::string());
  return kExitOk;
}

}  // namespace cli
