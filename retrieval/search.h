// The core of a similarity search, shared by the desktop shell and folim-cli:
// from the listed images it keeps the RIM files whose bases were learned like
// the query's, scores each by edge and colour similarity, combines the two
// with the colour weight and ranks them, best first.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/base_type.h"

// One listed image file.
struct ImageEntry {
  std::string name;  // file name with extension, lower case
  std::string path;  // full path as found on disk
  std::int16_t baseType = kBaseTypeUninspected;
  double edgeSimilarity = 0.0;
  double colorSimilarity = 0.0;
  double score = 0.0;  // (1 - w) * edge + w * colour
};

// The messages a search answers with instead of a ranking.
inline constexpr const char* kMessageBadColorMode =
    "Sorry. Now Color Mode is Scolor and Histogram.";
inline constexpr const char* kMessageNotRimQuery = "Please select a rim file.";
inline constexpr const char* kMessageNoCandidates = "Folim supports RIM files only!";

// Fixed parameters of every search.
inline constexpr std::uint32_t kSearchBaseLimit = 96;
inline constexpr std::int32_t kSearchColorResolution = 4;

enum class SearchOutcome {
  Ranked,           // candidates holds the ranking
  BadColorMode,     // the colour mode is not 0, 1 or 2
  NotRimQuery,      // the query's base type is neither 0 nor 1
  NoCandidates,     // no RIM file of the query's base type among the entries
  QueryUnreadable,  // the query's header reads but its features do not (a damaged file)
};

struct SearchRequest {
  std::string queryPath;
  std::int32_t queryBaseType = kBaseTypeOther;  // 0 PCA, 1 ICA, other: not a RIM file
  std::int32_t colorMode = 2;                   // 0 "Block mean", 1 "Histogram", 2 "MPEG-7 CSD"
  std::string colorWeightText = "70";           // colour percentage as the user typed it
  // Threads that score candidates; 0 and 1 score on the calling thread only.
  // Every count gives the same values in the same order.
  unsigned threads = 1;
  // When set and true, scoring stops early; the result is then incomplete
  // and meant to be thrown away.
  const std::atomic<bool>* cancel = nullptr;
};

// A progress report: the caption ("Loading images %d / %d ..." while
// candidates are collected, "Calculating similarity %d / %d ..." while they
// are scored) and the bar position 0..100. Always called on the calling
// thread.
using SearchProgress = std::function<void(const std::string& caption, int percent)>;

struct SearchResult {
  SearchOutcome outcome = SearchOutcome::Ranked;
  std::string message;                 // the text to show when outcome is not Ranked
  std::vector<ImageEntry> candidates;  // best first; ties keep list order
};

bool IsValidColorMode(std::int32_t mode);

// The colour weight: the decimal number the text starts with (after blanks)
// divided by 100; a text that is not a finite number gives 0.
double ColorWeightFromText(const std::string& text);

// Collects the candidates among entries in list order: an uninspected entry
// takes part when its name ends in "rim" (any case) and its header can be
// read and names the query's learning method; an inspected entry when its
// base type equals the query's.
std::vector<ImageEntry> CollectCandidates(std::int32_t queryBaseType,
                                          const std::vector<ImageEntry>& entries,
                                          const SearchProgress& progress = {});

// Orders candidates by score, highest first. Equal scores keep their order;
// scores that do not compare (NaN) go last, in their order.
void SortByScore(std::vector<ImageEntry>& candidates);

// The whole search. A target that cannot be read gets -1 from the measure
// concerned and is ranked with it; a query whose features cannot be read
// fails the search (QueryUnreadable, the message naming the file and the
// cause) rather than ranking every candidate against nothing.
SearchResult RunSearch(const SearchRequest& request, const std::vector<ImageEntry>& entries,
                       const SearchProgress& progress = {});
