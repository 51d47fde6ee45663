// folim-cli index: brings the signature index up to date with folders.
#include <ostream>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "cli/index_support.h"

namespace cli {
namespace {

const char* const kUsage =
    "Usage: folim-cli index [--recursive] [--relearn] [--jobs N] [--index FILE]\n"
    "                       [--root NAME=DIR] DIR...\n";

int usageError(Invocation& inv, const std::string& what) {
  inv.err << "folim-cli index: " << what << "\n" << kUsage;
  return kExitUsage;
}

}  // namespace

int runIndex(Invocation& inv) {
  const ParsedArgs args = parseArgs(inv.args, {"jobs", "index", "root"}, {"recursive", "relearn"});
  if (!args.error.empty()) return usageError(inv, args.error);
  std::vector<LibraryRoot> roots;
  std::string rootProblem;
  if (!parseRoots(args, roots, rootProblem)) return usageError(inv, rootProblem);
  if (args.positional.empty()) return usageError(inv, "expects at least one DIR");
  unsigned jobs = defaultJobs();
  if (args.has("jobs")) {
    const long n = parseCount(args.value("jobs"), 1, 256);
    if (n < 0) return usageError(inv, "--jobs expects a number from 1 to 256");
    jobs = static_cast<unsigned>(n);
  }
  for (const std::string& dir : args.positional) {
    const std::string problem = folderProblem(dir);
    if (!problem.empty()) {
      inv.err << "folim-cli index: " << dir << ": " << problem << "\n";
      return kExitFailed;
    }
  }
  const std::string prefix = "folim-cli index: ";
  SignatureIndex index;
  if (!openIndex(index, args.value("index"), prefix, inv.err) ||
      !keepRoots(index, roots, prefix, inv.err))
    return kExitFailed;
  const SignatureParameters parameters = currentSignatureParameters();
  RefreshCounts total;
  for (const std::string& dir : args.positional) {
    RefreshCounts counts;
    if (!refreshIndexedFolder(index, indexFolder(dir), args.has("recursive"), jobs, parameters,
                              prefix, inv.err, counts, args.has("relearn")))
      return kExitFailed;
    total.added += counts.added;
    total.refreshed += counts.refreshed;
    total.removed += counts.removed;
    total.failed += counts.failed;
    total.unchanged += counts.unchanged;
    if (counts.interrupted) {
      total.interrupted = true;
      break;
    }
  }
  inv.out << "added " << total.added << ", refreshed " << total.refreshed << ", removed "
          << total.removed << ", failed " << total.failed << ", unchanged " << total.unchanged
          << "\n";
  if (total.interrupted) {
    inv.err << prefix << "interrupted; the next run completes the index\n";
    return 130;
  }
  // The failed pictures were listed with their causes as they were stored.
  return total.failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace cli
