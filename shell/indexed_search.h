// The window's search over the signature index: the default index, the
// image library lent to the search pipeline (index/search_pipeline.h), and
// the pipeline's progress and outcomes in the window's words, translated
// (context CRetrievalView).
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

#include "index/search_pipeline.h"
#include "retrieval/search.h"

inline constexpr const char* kMessageNoQuery =
    QT_TRANSLATE_NOOP("CRetrievalView", "Please select an image as the query.");
inline constexpr const char* kMessageNothingRanked = QT_TRANSLATE_NOOP(
    "CRetrievalView", "No picture of this folder can be ranked against the query.");

// What the search tells besides its result.
struct IndexedSearchNotes {
  bool stopped = false;  // the stop flag ended it: the result is to be thrown away
  QString notice;        // the index file was damaged and has been rebuilt
};

// Progress: percent done and the caption of the stage (indexing, ranking).
using IndexedSearchReport = std::function<void(int percent, const QString& caption)>;

// Runs request (its query, folder, measure, weight, threads and stop flag)
// over the default index with the image library's pictures. Runs on a
// worker thread. An empty folder ranks nothing.
SearchResult RunWindowIndexedSearch(IndexedSearchRequest request, const IndexedSearchReport& report,
                                    IndexedSearchNotes& notes);
