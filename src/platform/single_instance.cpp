#include "platform/single_instance.h"

#include "platform/program_folder.h"

namespace quorvalis {

std::unique_ptr<QLockFile> acquireSingleInstance() {
  ensureProgramFolder();
  auto lock = std::make_unique<QLockFile>(programFile(QStringLiteral("quorval.lock")));
  lock->setStaleLockTime(0);  // only the owner's process decides; a dead owner's lock is stale
  if (!lock->tryLock(0)) return nullptr;
  return lock;
}

}  // namespace quorvalis
