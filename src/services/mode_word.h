// The mode word: "NEW" while a new window waits for its first show, "Ovel IFS " once it has had it, or the path of
// the parameter file loaded last. The frame's timer reads it to decide whether Rand opens a window or re-renders
// the active one. Each frame keeps one for itself and its windows, as it keeps its exit request: a file loaded in
// one frame's window says nothing to another frame. A window without a frame keeps its own.
#pragma once

#include <QString>

inline const QString kModeNew = QStringLiteral("NEW");
inline const QString kModeWorking = QStringLiteral("Ovel IFS ");

class TModeWord {
 public:
  const QString& Word() const { return word_; }
  void Set(const QString& word) { word_ = word; }
  bool IsNew() const { return word_ == kModeNew; }

 private:
  QString word_;
};
