// quorval-guard: starts the terminal and starts it again whenever it ends without having
// planned to (a crash, a kill, a hang), records why, and gives up after a crash loop. The
// terminal hands every start over to it, whoever started the terminal.
#include <string>
#include <vector>

#include "platform/guard_process.h"

int main(int argc, char** argv) {
  using namespace quorvalis::guard;
  // Started by the terminal only: quorval-guard [--adopt PID PIPE PROCESS] TERMINAL [ARGS]
  auto setup = readCommandLine({argv + 1, argv + argc});
  if (!setup) return 2;
  setup->programFolder = programFolderOfThisUser();
  setup->version = QUORVALIS_VERSION;
  return runGuard(*setup);
}
