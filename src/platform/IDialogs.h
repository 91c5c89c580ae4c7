#pragma once

#include <QString>

enum class MessageIcon { None, Information, Question, Warning, Critical };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// The modal dialogs the program shows. Each lets events run until the user answers.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                                  MessageButtons buttons) = 0;
    // The typed text, or "" when cancelled.
    virtual QString input(const QString& prompt, const QString& title, const QString& proposal) = 0;
    // The chosen file's full path, or "" when cancelled. filters: "Name|pattern|Name|pattern".
    virtual QString openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                             const QString& filters) = 0;
};
