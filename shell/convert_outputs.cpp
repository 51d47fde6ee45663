#include "shell/convert_outputs.h"

#include <QFileInfo>
#include <algorithm>

#include "imageio/batch_convert.h"
#include "shell/convert_form.h"
#include "shell/native_path.h"

namespace {

bool hasOutput(const ListedImage& item, const std::string& saveDir, const char* extension) {
  // Named as the conversion names it: after the file as it is spelled.
  return QFileInfo::exists(
      fromNativePath(batchOutputPath(saveDir, toNativePath(SpelledName(item)), extension)));
}

}  // namespace

bool IsMissingSaveDir(const QString& saveDir) {
  return !saveDir.trimmed().isEmpty() && !QFileInfo::exists(saveDir);
}

std::vector<ListedImage> ItemsWithOutputs(const std::vector<ListedImage>& items,
                                          const QString& saveDir, const char* extension) {
  std::vector<ListedImage> existing;
  if (saveDir.isEmpty()) return existing;
  const std::string dir = toNativePath(withFinalSlash(saveDir));
  std::copy_if(items.begin(), items.end(), std::back_inserter(existing),
               [&](const ListedImage& item) { return hasOutput(item, dir, extension); });
  return existing;
}

std::vector<ListedImage> ApplyExistingChoice(std::vector<ListedImage> items, const QString& saveDir,
                                             const char* extension, ExistingOutputs choice) {
  if (choice == ExistingOutputs::Cancel) return {};
  if (choice == ExistingOutputs::Skip && !saveDir.isEmpty()) {
    const std::string dir = toNativePath(withFinalSlash(saveDir));
    items.erase(
        std::remove_if(items.begin(), items.end(),
                       [&](const ListedImage& item) { return hasOutput(item, dir, extension); }),
        items.end());
  }
  return items;
}

QString SpelledName(const ListedImage& item) {
  return QFileInfo(fromNativePath(item.path)).fileName();
}
