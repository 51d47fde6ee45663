// The window's search over the signature index: any image as the query, the
// folder's pictures of every kind ranked. The folder's entries are brought
// up to date first, so the first search of a folder builds its index.
#pragma once

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "retrieval/search.h"

// Shown translated (context CRetrievalView).
inline constexpr const char* kMessageNoQuery =
    QT_TRANSLATE_NOOP("CRetrievalView", "Please select an image as the query.");
inline constexpr const char* kMessageNothingRanked = QT_TRANSLATE_NOOP(
    "CRetrievalView", "No picture of this folder can be ranked against the query.");

struct IndexedSearchRequest {
  std::string queryPath;
  std::string folder;  // as the document names it
  bool recursive = false;
  std::int32_t colorMode = 2;
  std::string colorWeightText = "70";
  unsigned threads = 1;
  std::string indexFile;  // empty: the default index
};

// What the search tells besides its result.
struct IndexedSearchOutcome {
  bool stopped = false;  // stop ended it: the result is to be thrown away
  QString notice;        // the index file was damaged and has been rebuilt
};

// Progress: percent done and the caption of the stage (indexing, ranking).
using IndexedSearchReport = std::function<void(int percent, const QString& caption)>;

// Whether the exact search of RIM files cannot answer: the query is no RIM
// file, or some listed entry is an ordinary image.
bool NeedsIndex(std::int32_t queryBaseType, const std::vector<ImageEntry>& entries);

// Refreshes the folder's entries and ranks them. Runs on a worker thread.
// Setting stop ends the refresh after the files in work (which stay
// indexed) or the ranking within a moment; outcome.stopped then says so.
// Messages are translated.
SearchResult RunIndexedSearch(const IndexedSearchRequest& request, const std::atomic<bool>* stop,
                              const IndexedSearchReport& report, IndexedSearchOutcome& outcome);
