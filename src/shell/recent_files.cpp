#include "shell/recent_files.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString Normalised(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
}  // namespace

void TRecentFiles::Add(const QString& path) {
  if (path.isEmpty()) return;
  const QString entry = Normalised(path);
  paths_.removeAll(entry);
  paths_.prepend(entry);
  while (paths_.size() > kMaxCount) paths_.removeLast();
}

void TRecentFiles::Remove(const QString& path) { paths_.removeAll(Normalised(path)); }

void TRecentFiles::SetPaths(const QStringList& paths) {
  paths_.clear();
  for (const QString& path : paths) {
    if (path.isEmpty() || QDir::isRelativePath(path)) continue;
    const QString entry = QDir::cleanPath(path);
    if (paths_.contains(entry)) continue;
    paths_.append(entry);
    if (paths_.size() == kMaxCount) break;
  }
}

QString TRecentFiles::MenuCaption(int index, const QString& path) {
  QString name = QFileInfo(path).fileName();
  // A "&" in a file name would otherwise underline the next letter and vanish.
  name.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return QStringLiteral("&%1 %2").arg(index + 1).arg(name);
}
