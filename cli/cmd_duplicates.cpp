// folim-cli duplicates: groups of near-duplicate pictures in a folder, from
// the signature index.
#include <charconv>
#include <cstdio>
#include <ostream>
#include <system_error>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "cli/index_support.h"
#include "cli/search_output.h"
#include "index/duplicates.h"

namespace cli {
namespace {

const char* const kUsage =
    "Usage: folim-cli duplicates [--threshold S] [--measure NAME] [--recursive]\n"
    "                            [--index FILE] [--no-refresh] [--root NAME=DIR]\n"
    "                            [--jobs N] [--json] DIR\n";

int usageError(Invocation& inv, const std::string& what) {
  inv.err << "folim-cli duplicates: " << what << "\n" << kUsage;
  return kExitUsage;
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

}  // namespace

int runDuplicates(Invocation& inv) {
  const ParsedArgs args = parseArgs(inv.args, {"threshold", "measure", "index", "jobs", "root"},
                                    {"recursive", "json", "no-refresh"});
  if (!args.error.empty()) return usageError(inv, args.error);
  if (args.positional.size() != 1) return usageError(inv, "expects one DIR");
  std::vector<LibraryRoot> roots;
  std::string rootProblem;
  if (!parseRoots(args, roots, rootProblem)) return usageError(inv, rootProblem);
  DuplicateRequest request;
  if (args.has("threshold")) {
    const std::string text = args.value("threshold");
    double s = -1.0;
    const std::from_chars_result r =
        std::from_chars(text.data(), text.data() + text.size(), s, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !(s >= 0.0) || s > 1.0)
      return usageError(inv, "--threshold expects a score from 0 to 1");
    request.threshold = s;
  }
  std::optional<ColorMode> mode = ColorMode::ColorStructure;
  if (args.has("measure")) {
    mode = measureNamed(args.value("measure"), true);
    if (!mode) return usageError(inv, "unknown measure '" + args.value("measure") + "'");
  }
  request.colorMode = NumberOf(*mode);
  request.colorWeight = PresetColorPercent(*mode) / 100.0;
  if (*mode == ColorMode::Robust && !args.has("threshold"))
    request.threshold = kRobustDuplicateThreshold;
  unsigned jobs = defaultJobs();
  if (args.has("jobs")) {
    const std::string text = args.value("jobs");
    unsigned n = 0;
    const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), n);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || n < 1 || n > 256)
      return usageError(inv, "--jobs expects a number from 1 to 256");
    jobs = n;
  }
  const std::string dir = args.positional[0];
  const std::string prefix = "folim-cli duplicates: ";
  const std::string problem = folderProblem(dir);
  if (!problem.empty()) {
    inv.err << prefix << dir << ": " << problem << "\n";
    return kExitFailed;
  }
  SignatureIndex index;
  if (!openIndex(index, args.value("index"), prefix, inv.err) ||
      !keepRoots(index, roots, prefix, inv.err))
    return kExitFailed;
  const SignatureParameters parameters = currentSignatureParameters();
  request.dir = indexFolder(dir);
  request.recursive = args.has("recursive");
  request.params = signatureParametersKey(parameters);
  request.threads = jobs;
  const bool refresh = !args.has("no-refresh");
  std::vector<DuplicateGroup> groups;
  // A second round follows when the first found damage: after a rebuild,
  // or after damaged entries were dropped, which the refresh learns again.
  for (int round = 0; round < 2; ++round) {
    const bool again = round == 0;
    if (refresh) {
      RefreshCounts counts;
      if (!refreshIndexedFolder(index, request.dir, request.recursive, jobs, parameters, prefix,
                                inv.err, counts))
        return kExitFailed;
      if (counts.interrupted) {
        inv.err << prefix << "interrupted\n";
        return 130;
      }
    }
    std::vector<std::int64_t> damaged;
    std::string error;
    if (!FindDuplicates(index, request, groups, error, &damaged)) {
      if (again && index.damaged()) {
        if (!rebuildDamagedIndex(index, prefix, inv.err)) return kExitFailed;
        continue;
      }
      inv.err << prefix << "cannot read the index " << index.file() << ": " << error << "\n";
      return kExitFailed;
    }
    if (damaged.empty()) break;
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
  const bool json = args.has("json");
  if (json) inv.out << "[";
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (json) {
      inv.out << (g == 0 ? "\n  [" : ",\n  [");
    } else if (g != 0) {
      inv.out << "\n";
    }
    const std::vector<ImageEntry>& members = groups[g].members;
    for (std::size_t m = 0; m < members.size(); ++m) {
      const ImageEntry& e = members[m];
      const std::string path = asSpelled(e.path, request.dir, dir);
      if (json) {
        // "colour" as search --json spells it; "color" stays for the scripts
        // written against the first spelling.
        inv.out << (m == 0 ? "\n" : ",\n") << "    {\"path\": " << jsonString(path)
                << ", \"score\": " << number(e.score) << ", \"edge\": " << number(e.edgeSimilarity)
                << ", \"colour\": " << number(e.colorSimilarity)
                << ", \"color\": " << number(e.colorSimilarity) << "}";
      } else {
        inv.out << number(e.score) << " " << number(e.edgeSimilarity) << " "
                << number(e.colorSimilarity) << " " << escapePathForLine(path) << "\n";
      }
    }
    if (json) inv.out << "\n  ]";
  }
  if (json) inv.out << (groups.empty() ? "]\n" : "\n]\n");
  return kExitOk;
}

}  // namespace cli
