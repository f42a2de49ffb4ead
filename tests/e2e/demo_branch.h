// What the band would have set up for the demo branch before a screen opens: the lookup's
// values in the terminal state and the configuration file in the program folder.
#pragma once

#include <gtest/gtest.h>

#include "fakes.h"
#include "program_folder_test.h"
#include "server/branch_configuration.h"
#include "server/http_central_server.h"
#include "server/terminal_state.h"
#include "zentrale_process.h"

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

// A screen against the development central server: real HTTP, real files, the demo branch
// prepared; printed on the printers of the given kind.
template <class Printers>
class DemoBranchTest : public ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    ASSERT_TRUE(zentrale.started());
    prepareDemoBranch(server, state);
  }

  ZentraleProcess zentrale;
  HttpCentralServer server{{zentrale.host(), 10000}};
  FixedClock clock;
  MemoryCardReader reader;
  RecordingDesktop desktop;
  ScriptedDialogs dialogs;
  Printers printers;
  Services services{clock, server, reader, desktop, dialogs, printers};
  TerminalState state;
};

}  // namespace quorvalis::testing
