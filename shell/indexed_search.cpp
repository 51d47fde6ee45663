#include "shell/indexed_search.h"

#include <QCoreApplication>
#include <cstddef>
#include <string>

#include "imageio/signature_source.h"
#include "index/index_location.h"
#include "index/signature_index.h"
#include "shell/index_setting.h"
#include "shell/native_path.h"

namespace {

// The form's context, where its captions are translated.
QString translated(const char* text) { return QCoreApplication::translate("CRetrievalView", text); }

SearchResult refused(const QString& message) {
  SearchResult result;
  result.outcome = SearchOutcome::NoCandidates;
  result.message = message.toStdString();
  return result;
}

int percentOf(std::size_t done, std::size_t total) {
  return total == 0 ? 100 : static_cast<int>(done * 100 / total);
}

QString damagedNotice(const std::string& file) {
  return translated(
             QT_TRANSLATE_NOOP(
                 "CRetrievalView",
                 "The index %1 was damaged; it has been kept as %2 and a new one was built."))
      .arg(fromNativePath(file), fromNativePath(DamagedCopyPath(file)));
}

// The pipeline's progress as the progress window shows it.
class Progress : public IndexedSearchObserver {
 public:
  Progress(const IndexedSearchReport& report, const std::string& file, QString& notice)
      : report_(report), file_(file), notice_(notice) {}

  void Indexing(std::size_t done, std::size_t total) override {
    if (report_)
      report_(percentOf(done, total),
              translated(QT_TRANSLATE_NOOP("CRetrievalView", "Indexing pictures %1 / %2 ..."))
                  .arg(done)
                  .arg(total));
  }
  void Ranking() override {
    if (report_)
      report_(100, translated(QT_TRANSLATE_NOOP("CRetrievalView", "Ranking pictures ...")));
  }
  void Rebuilt(const std::string&) override { notice_ = damagedNotice(file_); }

 private:
  const IndexedSearchReport& report_;
  const std::string& file_;
  QString& notice_;
};

// The failure the window shows for a result without a ranking.
QString failureMessage(const IndexedSearchResult& result, const std::string& file,
                       const std::string& queryPath) {
  const QString index = fromNativePath(file);
  const QString error = QString::fromStdString(result.error);
  switch (result.outcome) {
    case IndexedSearchOutcome::CannotUpdate:
      return translated(QT_TRANSLATE_NOOP("CRetrievalView", "Cannot update the index %1: %2"))
          .arg(index, error);
    case IndexedSearchOutcome::CannotRead:
      return translated(QT_TRANSLATE_NOOP("CRetrievalView", "Cannot read the index %1: %2"))
          .arg(index, error);
    case IndexedSearchOutcome::QueryUnreadable:
      return translated(QT_TRANSLATE_NOOP("CRetrievalView", "Cannot read the query image %1."))
          .arg(fromNativePath(queryPath));
    default:
      return translated(kMessageNothingRanked);
  }
}

}  // namespace

SearchResult RunWindowIndexedSearch(IndexedSearchRequest request, const IndexedSearchReport& report,
                                    IndexedSearchNotes& notes) {
  notes = IndexedSearchNotes();
  if (request.folder.empty()) return refused(translated(kMessageNothingRanked));
  const IndexChoice choice = windowIndexChoice();
  const std::string& file = choice.path;
  if (file.empty())
    return refused(
        translated(QT_TRANSLATE_NOOP("CRetrievalView",
                                     "There is no place for the index: HOME and XDG_CACHE_HOME "
                                     "are not set to an absolute folder.")));
  SignatureIndex index;
  std::string notice, error;
  if (!index.Open(file, choice.owner, notice, error))
    return refused(translated(QT_TRANSLATE_NOOP("CRetrievalView", "Cannot open the index %1: %2"))
                       .arg(fromNativePath(index.file()), QString::fromStdString(error)));
  if (!notice.empty()) notes.notice = damagedNotice(file);

  const SignatureParameters parameters = currentSignatureParameters();
  request.params = signatureParametersKey(parameters);
  request.listPictures = listIndexablePictures;
  request.signatureOf = IndexSignatureSource(parameters);
  Progress progress(report, file, notes.notice);
  IndexedSearchResult indexed = RunIndexedSearch(index, request, progress);
  if (indexed.outcome == IndexedSearchOutcome::Stopped) {
    notes.stopped = true;
    return SearchResult{};
  }
  if (indexed.outcome != IndexedSearchOutcome::Ranked)
    return refused(failureMessage(indexed, file, request.queryPath));
  SearchResult result;
  result.candidates = std::move(indexed.ranking);
  return result;
}
