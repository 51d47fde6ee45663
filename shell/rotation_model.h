// The quarter turns of the picture shown at full size. A turn shows at once;
// it is written to the picture's file only when the user agrees (a JPEG by
// its orientation tag, its compressed picture kept; other formats written
// again), in the background on the document's job runner.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class CFolimDoc;

class CRotationModel : public QObject {
  Q_OBJECT

 public:
  explicit CRotationModel(CFolimDoc& doc, QObject* parent = nullptr);

  // A picture is shown as its file holds it (no turn).
  void Reset(const QString& path, std::uint16_t baseType);
  const QString& path() const { return path_; }

  // Turns the picture shown by quarterTurns clockwise (negative:
  // anticlockwise).
  void Turn(int quarterTurns);
  // The clockwise quarter turns shown, 0 to 3, and those not in the file.
  int turns() const { return turns_; }
  int unsavedTurns() const { return ((turns_ - savedTurns_) % 4 + 4) % 4; }
  bool HasUnsavedTurn() const { return unsavedTurns() != 0; }
  // What the user is asked before the turn is written.
  QString SaveQuestion() const;

  // Writes the unsaved turn to the file in the background; false when
  // there is none or another job runs (messageRaised says so then).
  bool Save();
  // The turn stays shown but is no longer offered for saving.
  void Discard() { savedTurns_ = turns_; }
  bool IsSaving() const { return saving_; }

 signals:
  void turned(int turns);
  // The file now holds the turned picture.
  void saved(const QString& path);
  void messageRaised(const QString& text);

 private:
  CFolimDoc& doc_;
  QString path_;
  std::uint16_t baseType_ = 0;
  int turns_ = 0;
  int savedTurns_ = 0;
  bool saving_ = false;
};
