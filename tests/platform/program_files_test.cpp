#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <cstdio>

#include "platform/file_write.h"
#include "platform/held_program.h"
#include "program_folder_test.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <thread>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// A writer stopped inside the write leaves the old settings file whole. The stop is not a kill at
// a random moment but the system's file size limit, which ends the writer at a fixed byte of the
// new content, the way a power cut would end it anywhere.
TEST_F(ProgramFolderTest, WriterStoppedInsideTheWriteLeavesTheOldFileWhole) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "no file size limit to stop a writer with on Windows; scripts/crash-test.sh kills it there";
#else
  const QByteArray old(4000, 'a'), replacement(200000, 'b');
  writeBytes("filialini.ini", old);
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    const rlimit limit{100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    writeFileAtomically(path("filialini.ini"), replacement);
    _exit(0);  // not reached: the limit ends the writer at byte 100 000
  }
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "status " << status;
  const QByteArray after = readBytes("filialini.ini");
  EXPECT_TRUE(after == old) << after.size() << " bytes, starting " << after.left(8).constData();
  EXPECT_TRUE(writeFileAtomically(path("filialini.ini"), replacement));  // and unhindered, the new one
  EXPECT_TRUE(readBytes("filialini.ini") == replacement);
#endif
}

// A file held open without sharing (a virus scanner, a backup) for a moment is replaced once it
// is free; one held for long is not replaced, and not torn either. Both a settings file and the
// redemption log.
TEST_F(ProgramFolderTest, BusyFileIsWaitedForAMoment) {
#ifndef Q_OS_WIN
  GTEST_SKIP() << "only Windows refuses to replace a file another program holds open";
#else
  const struct { int heldMs; bool written; } rows[] = {{200, true}, {5000, false}};
  for (const auto& r : rows) {
    writeBytes("filialini.ini", "old");
    writeBytes("coupons.ini", "line\r\n");
    std::vector<HANDLE> held;
    for (const char* name : {"filialini.ini", "coupons.ini"})
      held.push_back(CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path(name)).utf16()),
                                 GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held[0] != INVALID_HANDLE_VALUE && held[1] != INVALID_HANDLE_VALUE);
    std::thread release([&] {
      Sleep(static_cast<DWORD>(r.heldMs));
      for (HANDLE h : held) CloseHandle(h);
    });
    const bool replaced = writeFileAtomically(path("filialini.ini"), "new");
    const bool appended = appendDurably(path("coupons.ini"), "more\r\n");
    release.join();
    EXPECT_EQ(replaced, r.written) << r.heldMs;
    EXPECT_EQ(appended, r.written) << r.heldMs;
    EXPECT_EQ(readBytes("filialini.ini"), r.written ? "new" : "old") << r.heldMs;
    EXPECT_EQ(readBytes("coupons.ini"), r.written ? "line\r\nmore\r\n" : "line\r\n") << r.heldMs;
  }
#endif
}

}  // namespace quorvalis::testing
