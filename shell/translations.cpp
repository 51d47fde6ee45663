#include "shell/translations.h"

#include <QCoreApplication>
#include <QTranslator>
#include <memory>

QString installTranslations(const QLocale& locale) {
  static std::unique_ptr<QTranslator> installed;
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  auto translator = std::make_unique<QTranslator>();
  // The compiled translations are built into the program.
  if (locale.language() != QLocale::English &&
      translator->load(locale, QStringLiteral("folim"), QStringLiteral("_"),
                       QStringLiteral(":/i18n"))) {
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return locale.name().section(QLatin1Char('_'), 0, 0);
  }
  return QStringLiteral("en");
}
