#include "platform/qt/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

Translations::Translations(const QLocale& locale)
{
    if (wantsEnglish(locale)) {
        // Qt's own dialogs speak English without a translation
        english_ = own_.load(QStringLiteral(":/i18n/mirovell_en.qm")) && QCoreApplication::installTranslator(&own_);
        return;
    }
    // Qt's own dialogs (file dialog, standard buttons) speak German like the rest of the window
    qtInstalled_ = qt_.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                   QCoreApplication::installTranslator(&qt_);
}

Translations::~Translations()
{
    if (english_)
        QCoreApplication::removeTranslator(&own_);
    if (qtInstalled_)
        QCoreApplication::removeTranslator(&qt_);
}
