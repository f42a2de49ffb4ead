// What the on-screen keys do to a field's text.
#pragma once

#include <QString>

namespace quorvalis {

// A letter key: upper case at the start of the field and after a blank, lower case elsewhere.
QString appendLetter(const QString& field, const QString& capitalCaption);

// Backspace: the last character goes; an empty field stays empty.
QString removeLastCharacter(const QString& field);

}  // namespace quorvalis
