#include "platform/qt/QtDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Line breaks inside message texts are a lone CR.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// "Name|pattern|Name|pattern" as a Qt file-dialog filter
QString qtFilter(const QString& filters)
{
    const QStringList parts = filters.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(u';', u' ');
        out << parts[i] + QStringLiteral(" (") + pattern + u')';
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace

MessageAnswer QtDialogs::message(const QString& text, const QString& title, MessageIcon icon, MessageButtons buttons)
{
    QMessageBox box(parent_);
    box.setWindowTitle(title);
    box.setText(displayText(text));
    switch (icon) {
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::None: break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // German buttons even where Qt's own translations are not installed
        box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("Mirovell", "&Ja"));
        box.button(QMessageBox::No)->setText(QCoreApplication::translate("Mirovell", "&Nein"));
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

QString QtDialogs::input(const QString& prompt, const QString& title, const QString& proposal)
{
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setLabelText(displayText(prompt));
    dialog.setTextValue(proposal);
    dialog.setOkButtonText(QCoreApplication::translate("Mirovell", "OK"));
    dialog.setCancelButtonText(QCoreApplication::translate("Mirovell", "Abbrechen"));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString QtDialogs::openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                            const QString& filters)
{
    QString start = initialFolder;
    if (!fileName.isEmpty())
        start = QFileInfo(initialFolder).isDir() ? initialFolder + u'/' + fileName : fileName;
    return QFileDialog::getOpenFileName(parent_, title, start, qtFilter(filters));
}
