// Pictures of a man and a woman, plain and highlighted, drawn by the program.
#pragma once

#include <QPixmap>

namespace quorvalis::pictures {

enum class PersonLook { kPlain, kHighlighted, kChosen };
QPixmap person(bool woman, PersonLook look, QSize size);

}  // namespace quorvalis::pictures
