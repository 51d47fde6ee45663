#include "shell/batch_messages.h"

#include <QCoreApplication>

#include "imageio/batch_convert.h"
#include "shell/native_path.h"

namespace {

// The library's texts, named for the translation tools under the same
// context; the longer first, so that no text is replaced inside another.
constexpr const char* kTexts[] = {
    QT_TRANSLATE_NOOP("BatchMessages",
                      "Specified destination dir isn't exist. Please specify a destination dir."),
    QT_TRANSLATE_NOOP("BatchMessages", "the output would overwrite a listed source file"),
    QT_TRANSLATE_NOOP("BatchMessages", "the output name is already produced by this job: "),
    QT_TRANSLATE_NOOP("BatchMessages", "Start converting images, please wait..."),
    QT_TRANSLATE_NOOP("BatchMessages", "there's no file in target directory"),
    QT_TRANSLATE_NOOP("BatchMessages", "finished conversion to RIM images!"),
    QT_TRANSLATE_NOOP("BatchMessages", "Failed conversion of these images!\n"),
    QT_TRANSLATE_NOOP("BatchMessages", "Finished converting to BMP images!"),
    QT_TRANSLATE_NOOP("BatchMessages", "Failed conversion of these files!\n"),
    QT_TRANSLATE_NOOP("BatchMessages", "the save folder does not exist"),
    QT_TRANSLATE_NOOP("BatchMessages", "the conversion was cancelled"),
};

}  // namespace

QString translateBatchText(const std::string& text) {
  QString shown = fromNativePath(text);
  for (const char* known : kTexts) {
    const QString source = QString::fromUtf8(known);
    const QString translated = QCoreApplication::translate("BatchMessages", known);
    if (translated != source) shown.replace(source, translated);
  }
  return shown;
}
