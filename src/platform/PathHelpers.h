#pragma once

#include <QString>

#include <optional>

// Small path routines; "\" and "/" both separate, comparisons are exact.
namespace paths {

QString FileNameOf(const QString& path);
QString LeadingPath(const QString& path);
QString FolderOf(const QString& path);
// Empty text is refused (nullopt); callers treat that as a failed step.
std::optional<QString> AddTrailingSeparator(const QString& path);
QString StripQuotes(const QString& text);

// Blanks as VB's Trim knows them: spaces only.
QString trimBlanks(const QString& text);

}  // namespace paths
