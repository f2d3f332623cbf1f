// The program-wide mode word: "NEW" while a new window waits for its first show, "Ovel IFS " once it has had
// it, or the path of the parameter file loaded last. The frame's timer reads it to decide whether Rand opens a
// window or re-renders the active one. Kept here and nowhere else.
#pragma once

#include <QString>

inline const QString kModeNew = QStringLiteral("NEW");
inline const QString kModeWorking = QStringLiteral("Ovel IFS ");

const QString& ModeWord();
void SetModeWord(const QString& word);
bool ModeIsNew();
