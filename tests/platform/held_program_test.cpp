#include <gtest/gtest.h>

#include <QTest>
#include <cstdio>

#include "platform/held_program.h"
#include "program_folder_test.h"

namespace quorvalis::testing {

// A downloaded program, once held for its check, cannot be swapped before it starts: replaced
// by a rename or written in place after the check, what runs is still what was checked.
TEST_F(ProgramFolderTest, WhatWasCheckedIsWhatStarts) {
  writeBytes("update", "#!/bin/sh\necho checked >started\n");
  HeldProgram held(path("update"));
  ASSERT_TRUE(held.isOpen());
  writeBytes("other", "#!/bin/sh\necho replaced >started\n");
  const bool renamed = std::rename(path("other").toLocal8Bit().constData(), path("update").toLocal8Bit().constData()) == 0;
  QFile inPlace(path("update"));
  const bool written = inPlace.open(QIODevice::WriteOnly) && inPlace.write("#!/bin/sh\necho written >started\n") > 0;
  inPlace.close();
  ASSERT_TRUE(held.content().seek(0));
  EXPECT_EQ(held.content().readAll(), "#!/bin/sh\necho checked >started\n");
#ifdef Q_OS_WIN
  // Held without write or delete sharing: neither can happen while it is held.
  EXPECT_FALSE(renamed || written);
#else
  EXPECT_TRUE(renamed && written);  // nothing stops them here; the started copy is sealed
  ASSERT_TRUE(held.start());
  EXPECT_TRUE(QTest::qWaitFor([&] { return readBytes("started").endsWith('\n'); }, 10000));
  EXPECT_EQ(readBytes("started"), "checked\n");
#endif
  HeldProgram missing(path("missing"));
  EXPECT_FALSE(missing.isOpen() || missing.start());
}

}  // namespace quorvalis::testing
