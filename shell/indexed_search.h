// The window's search over the signature index: any image as the query, the
// folder's pictures of every kind ranked. The folder's entries are brought
// up to date first, so the first search of a folder builds its index.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "retrieval/search.h"

inline constexpr const char* kMessageNoQuery = "Please select an image as the query.";
inline constexpr const char* kMessageNothingRanked =
    "No picture of this folder can be ranked against the query.";

struct IndexedSearchRequest {
  std::string queryPath;
  std::string folder;  // as the document names it
  bool recursive = false;
  std::int32_t colorMode = 2;
  std::string colorWeightText = "70";
  unsigned threads = 1;
  std::string indexFile;  // empty: the default index
};

// Whether the exact search of RIM files cannot answer: the query is no RIM
// file, or some listed entry is an ordinary image.
bool NeedsIndex(std::int32_t queryBaseType, const std::vector<ImageEntry>& entries);

// Refreshes the folder's entries (report: files done of total; stop set:
// the refresh ends after the files in work, which stay indexed) and ranks
// them. Runs on a worker thread. stopped tells that stop ended the refresh;
// the result is then to be thrown away.
SearchResult RunIndexedSearch(const IndexedSearchRequest& request, const std::atomic<bool>* stop,
                              const std::function<void(std::size_t, std::size_t)>& report,
                              bool& stopped);
