#include "keyboard/key_rules.h"

namespace quorvalis {

QString appendLetter(const QString& field, const QString& capitalCaption) {
  const bool shift = field.isEmpty() || field.endsWith(u' ');
  return field + (shift ? capitalCaption.toUpper() : capitalCaption.toLower());
}

QString removeLastCharacter(const QString& field) { return field.left(field.size() - 1); }

}  // namespace quorvalis
