// quorval-guard: starts the terminal and starts it again whenever it ends without having
// planned to (a crash, a kill, a hang), records why, and gives up after a crash loop. The
// terminal hands every start over to it, whoever started the terminal.
#include <string>

#include "platform/guard_process.h"

int main(int argc, char** argv) {
  using namespace quorvalis::guard;
  if (argc < 2) return 2;  // started by the terminal only: quorval-guard <terminal> [args]
  GuardSetup setup{argv[1], {argv + 2, argv + argc}, programFolderOfThisUser(), QUORVALIS_VERSION};
  return runGuard(setup);
}
