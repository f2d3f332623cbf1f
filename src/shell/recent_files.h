// The parameter files opened or saved last, most recent first, for File > Open Recent.
#pragma once

#include <QString>
#include <QStringList>

class TRecentFiles {
 public:
  static constexpr int kMaxCount = 8;

  // Moves path to the front (adding it when it is new), keeps at most kMaxCount. Paths are compared as absolute,
  // cleaned paths, so "a/../x.ifs" and "x.ifs" are one entry.
  void Add(const QString& path);
  void Remove(const QString& path);
  void Clear() { paths_.clear(); }
  // Replaces the list by stored paths: empty and relative entries and repeats are dropped, the rest kept in order
  // up to kMaxCount. Files that are gone stay listed; opening one tells the user and removes it.
  void SetPaths(const QStringList& paths);
  const QStringList& Paths() const { return paths_; }

  // "&1 name.ifs" ... "&8 name.ifs": the file's name; its folder goes into the entry's status tip.
  static QString MenuCaption(int index, const QString& path);

 private:
  QStringList paths_;
};
