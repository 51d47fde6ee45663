// The retrieval form's search without its widgets: what the form's controls
// ask for is checked and turned into a request, the search of RIM files
// alone or the one over the signature index is chosen, and it runs on the
// document's job runner. The form shows what this signals.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "retrieval/search.h"
#include "shell/job_runner.h"

class CFolimDoc;

// What the form's controls ask for.
struct SearchSettings {
  int colorMode = 2;         // the measure chosen; -1 when the user typed another text
  QString colorPercentText;  // the colour percentage shown
  unsigned threads = 1;      // threads that score the candidates
  // Ranks every picture the index holds, as it stands, instead of the
  // listed folder.
  bool everyIndexedFolder = false;
};

class CSearchModel : public QObject {
  Q_OBJECT

 public:
  explicit CSearchModel(CFolimDoc& doc, QObject* parent = nullptr);

  // Why settings cannot start a search (a message for the user), or an
  // empty text.
  QString Refusal(const SearchSettings& settings) const;
  // Whether the search of RIM files alone cannot answer: the query is no
  // RIM file, or some listed entry is an ordinary image. The index is used
  // then.
  bool NeedsIndex() const;
  // Ranks the pictures of the listed folder by their similarity to the
  // current image, in the background; false when it does not start (a job
  // runs, or Refusal has a message, given in refusal). The page still
  // loading is stopped, and loaded again when the search leaves the list
  // as it was.
  bool Start(const SearchSettings& settings, QString* refusal = nullptr);
  bool IsSearching() const { return searching_; }
  void Cancel();

 signals:
  // The search has started.
  void started();
  // Its progress: percent done and the caption of the stage.
  void progress(int percent, const QString& caption);
  // It has ended; what follows comes next, in this order.
  void ended();
  // A text for the user: why nothing was ranked (after ended), or that the
  // index was damaged and rebuilt (after finished).
  void messageRaised(const QString& text);
  // count candidates are about to replace the list.
  void rankingArrived(int count);
  // The list shows the ranking, or what it showed before.
  void finished();

 private:
  struct Run;
  // The work of each search, its request made from the document and the
  // settings; its outcome goes into run.
  CJobRunner::Work searchRimFiles(const SearchSettings& settings,
                                  const std::shared_ptr<Run>& run) const;
  CJobRunner::Work searchOverIndex(const SearchSettings& settings,
                                   const std::shared_ptr<Run>& run) const;
  void onDone(const std::shared_ptr<Run>& run, bool cancelled);

  CFolimDoc& doc_;
  bool searching_ = false;
};
