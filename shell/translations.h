// The language of the shell: English source texts, and a Japanese
// translation (the original captions) chosen by the locale.
#pragma once

#include <QLocale>
#include <QString>

// Installs the translation for locale, replacing the one installed before;
// a locale without a translation gets the English texts. Returns the
// language now shown ("ja" or "en").
QString installTranslations(const QLocale& locale);
