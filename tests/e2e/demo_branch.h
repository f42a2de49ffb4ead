// What the band would have set up for the demo branch before a screen opens: the lookup's
// values in the terminal state and the configuration file in the program folder.
#pragma once

#include <gtest/gtest.h>

#include "server/branch_configuration.h"
#include "server/terminal_state.h"

namespace quorvalis::testing {

inline void prepareDemoBranch(CentralServer& server, TerminalState& state) {
  const BranchInfo branch = parseBranchReply(server.get(branchLookupPath("DEMO01")));
  state.quorvalisID = "DEMO01";
  state.quorvalverz = branch.directory;
  state.HalleName = branch.branchName;
  state.HallePLZ = branch.postcode;
  state.screenW = "19200";
  state.screenH = "12000";
  ASSERT_EQ(downloadBranchConfiguration(server, branch.directory, ""), Download::kWritten);
}

}  // namespace quorvalis::testing
