#pragma once

#include <QLocale>
#include <QTranslator>

// The language of the window, the messages and Qt's own dialogs, installed for as long as the
// object lives: English under an English locale, otherwise the German the texts are written in.
// Files and link messages are never translated.
class Translations {
public:
    explicit Translations(const QLocale& locale);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    static bool wantsEnglish(const QLocale& locale) { return locale.language() == QLocale::English; }

private:
    QTranslator own_;
    QTranslator qt_;
    bool english_ = false;
    bool qtInstalled_ = false;
};
