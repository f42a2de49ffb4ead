#pragma once

#include <QString>

namespace quorvalis {

// The folder that holds every local file: QUORVALIS_HOME when set, else the platform default.
QString programFolder();

// A file directly in the program folder.
QString programFile(const QString& name);

// Creates the program folder when it is missing; false when that is impossible.
bool ensureProgramFolder();

}  // namespace quorvalis
