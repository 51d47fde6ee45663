#include "shell/rotation_model.h"

#include <memory>
#include <string>

#include "imageio/picture_turn.h"
#include "shell/folim_doc.h"
#include "shell/native_path.h"

CRotationModel::CRotationModel(CFolimDoc& doc, QObject* parent) : QObject(parent), doc_(doc) {}

void CRotationModel::Reset(const QString& path, std::uint16_t baseType) {
  path_ = path;
  baseType_ = baseType;
  turns_ = 0;
  savedTurns_ = 0;
  emit turned(turns_);
}

void CRotationModel::Turn(int quarterTurns) {
  if (path_.isEmpty()) return;
  turns_ = ((turns_ + quarterTurns) % 4 + 4) % 4;
  emit turned(turns_);
}

QString CRotationModel::SaveQuestion() const {
  return tr("%1 is shown turned. Save it turned?\n"
            "A JPEG keeps its picture data (only its orientation tag changes); other formats "
            "are written again.")
      .arg(path_);
}

bool CRotationModel::Save() {
  if (!HasUnsavedTurn()) return false;
  const QString path = path_;
  const int quarters = unsavedTurns();
  const std::uint16_t baseType = baseType_;
  auto why = std::make_shared<std::string>();
  auto written = std::make_shared<bool>(false);
  const bool started = doc_.jobs().start(
      [path, quarters, baseType, why, written](const CJobRunner::Control&) {
        *written = turnImageFile(toNativePath(path), baseType, quarters, *why);
      },
      this,
      [this, path, quarters, why, written](bool) {
        saving_ = false;
        if (!*written) {
          // Still the picture shown: the turn is offered again.
          if (path == path_) savedTurns_ = ((savedTurns_ - quarters) % 4 + 4) % 4;
          emit messageRaised(tr("Cannot save %1 turned: %2").arg(path, fromNativePath(*why)));
          return;
        }
        // The current image and its thumbnail are read again, turned.
        if (doc_.currentPath() == path) doc_.SelectImage(path);
        const std::string file = toNativePath(path);
        for (const ImageEntry& entry : doc_.entries()) {
          if (entry.path != file) continue;
          doc_.LoadThumbnails();
          break;
        }
        emit saved(path);
      });
  if (!started) {
    emit messageRaised(tr("%1 was not saved turned: another job is running.").arg(path));
    return false;
  }
  saving_ = true;
  savedTurns_ = turns_;
  return true;
}
