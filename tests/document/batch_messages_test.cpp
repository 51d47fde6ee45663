// The conversions' texts in the window's language: every message and reason
// the library gives is known to the translation, names stay as they are.
#include <gtest/gtest.h>

#include <QLocale>
#include <QRegularExpression>

#include "core_application.h"
#include "imageio/batch_convert.h"
#include "shell/batch_messages.h"
#include "shell/translations.h"

namespace {

TEST(BatchMessagesTest, EveryLibraryTextIsTranslatedInJapanese) {
  const char* const texts[] = {kMsgSaveDirMissing, kMsgNoFiles,           kMsgStartConverting,
                               kMsgRimDone,        kMsgRimFailed,         kMsgBmpDone,
                               kMsgBmpFailed,      kReasonSaveDirMissing, kReasonOverwrite,
                               kReasonCancelled,   kReasonNameTaken};
  installTranslations(QLocale(QStringLiteral("ja_JP")));
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const QString shown = translateBatchText(text);
    EXPECT_NE(shown, QString::fromUtf8(text));
    // Format names (RIM, BMP) are the only Latin words left.
    QString words = shown;
    words.remove(QStringLiteral("RIM")).remove(QStringLiteral("BMP"));
    EXPECT_FALSE(words.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}"))))
        << shown.toStdString();
  }
  // A failure list: its title and reason translated, the file's path kept.
  const std::string failure =
      std::string(kMsgBmpFailed) + "/photos/Sunset.rim: " + kReasonSaveDirMissing + "\n";
  const QString shown = translateBatchText(failure);
  EXPECT_TRUE(shown.contains("/photos/Sunset.rim: ")) << shown.toStdString();
  EXPECT_FALSE(shown.contains(QString::fromUtf8(kReasonSaveDirMissing)));
  // English stays exactly as the command line prints it.
  installTranslations(QLocale(QLocale::English));
  for (const char* text : texts) EXPECT_EQ(translateBatchText(text), QString::fromUtf8(text));
  EXPECT_EQ(translateBatchText(failure), QString::fromStdString(failure));
}

}  // namespace
