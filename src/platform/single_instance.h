#pragma once

#include <QLockFile>
#include <memory>

namespace quorvalis {

// Holds the program folder's lock while the terminal runs; nullptr when another instance
// holds it. A lock left by a crashed instance is taken over.
std::unique_ptr<QLockFile> acquireSingleInstance();

}  // namespace quorvalis
