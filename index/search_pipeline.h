// The search over the signature index that the window and folim-cli both
// run: the folder's entries brought up to date, the query's signature taken
// from the index or made, the folder ranked in two stages, damaged rows
// dropped (the refresh learns their files again), and the paths spelled as
// the caller named the folder. An index that SQLite finds damaged is kept
// aside and made afresh once, and the search starts again.
//
// The index reads no ordinary image itself: the caller lends it the listing
// of a folder's pictures and the maker of a picture's signature (the image
// library's), which serve the refresh and the query alike.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "codec/status.h"
#include "index/ranking.h"
#include "index/refresh.h"
#include "index/signature_index.h"
#include "retrieval/color_mode.h"
#include "retrieval/search.h"

struct IndexedSearchRequest {
  std::string queryPath;  // any image file, as the caller names it
  std::string folder;     // as the caller names it; the ranking's paths are spelled alike
  bool recursive = false;
  ColorMode colorMode = kDefaultColorMode;
  double colorWeight = PresetColorPercent(kDefaultColorMode) / 100.0;
  std::size_t shortlist = kDefaultShortlist;
  unsigned threads = 1;  // 0 counts as 1
  // Without it the index is ranked as it stands (damaged rows are dropped
  // all the same).
  bool refresh = true;
  // Set from another thread to end the refresh after the files in work
  // (which stay indexed) or the ranking within a moment.
  const std::atomic<bool>* stop = nullptr;

  // What the caller lends the index. params: the key of the parameter set
  // signatures are made under; listPictures: the pictures of an absolute
  // folder, in listing order; signatureOf: a picture's signature (called on
  // several threads at once).
  std::string params;
  std::function<std::vector<std::string>(const std::string& dir, bool recursive)> listPictures;
  SignatureSource signatureOf;
};

// What the search tells as it goes; every call comes on the calling thread.
class IndexedSearchObserver {
 public:
  virtual ~IndexedSearchObserver() = default;
  // A refresh of the folder begins (a second one after a rebuild).
  virtual void RefreshStarted() {}
  // done of total files of the refresh handled.
  virtual void Indexing(std::size_t /*done*/, std::size_t /*total*/) {}
  // The refresh has ended, but for one that failed on damage and is repeated
  // after the rebuild.
  virtual void Refreshed(const RefreshCounts& /*counts*/) {}
  // The ranking begins.
  virtual void Ranking() {}
  // The index was damaged, has been kept aside and made afresh; notice is
  // the index's own account (may be empty).
  virtual void Rebuilt(const std::string& /*notice*/) {}
  // count rows whose blobs do not decode are about to be dropped.
  virtual void RowsDropped(std::size_t /*count*/) {}
};

enum class IndexedSearchOutcome {
  Ranked,           // ranking holds the folder's pictures, best first
  Stopped,          // the stop flag ended it; nothing to show
  CannotUpdate,     // the refresh could not write the index (error)
  QueryUnreadable,  // the query's signature could not be made (queryStatus, queryCause)
  CannotRead,       // the ranking could not read the index (error)
  NothingRanked,    // no picture of the folder can be ranked against the query
};

struct IndexedSearchResult {
  IndexedSearchOutcome outcome = IndexedSearchOutcome::Ranked;
  std::string error;  // the index's words for CannotUpdate and CannotRead
  Status queryStatus = status::Success;
  std::string queryCause;
  // Rows found damaged could not be dropped (the index's words); the
  // ranking leaves them out all the same.
  std::string dropError;
  // The failure (or the failure to drop) was damage, and making the index
  // afresh failed too: why.
  std::string rebuildError;
  std::vector<ImageEntry> ranking;
};

IndexedSearchResult RunIndexedSearch(SignatureIndex& index, const IndexedSearchRequest& request,
                                     IndexedSearchObserver& observer);
