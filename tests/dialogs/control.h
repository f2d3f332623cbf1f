// Tests reach a form's controls the way a user sees them: by their names. A control that is missing, of another
// type or named twice under the owner fails the test with its name instead of crashing it.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

#include "dialogs/spin_edit.h"

template <class T>
T* Control(const QObject& owner, const char* name) {
  const QList<T*> found = owner.findChildren<T*>(QString::fromLatin1(name));
  if (found.size() != 1)
    throw std::logic_error(std::to_string(found.size()) + " controls named \"" + name + "\" of type " +
                           T::staticMetaObject.className() + " under " + owner.metaObject()->className());
  return found.front();
}

// The Coefficients dialog's k-th edit, k = 1 .. 18: A01 .. A06, B01 .. B06, C01 .. C06.
inline TSpinEdit* CoefficientEdit(const QObject& owner, int k) {
  const char name[] = {"ABC"[(k - 1) / 6], '0', static_cast<char>('1' + (k - 1) % 6), '\0'};
  return Control<TSpinEdit>(owner, name);
}
