// Every test gets its own temporary program folder.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "qt_printers.h"

namespace quorvalis::testing {

class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = qgetenv("QUORVALIS_HOME");
    qputenv("QUORVALIS_HOME", dir_.path().toLocal8Bit());
  }
  void TearDown() override {
    if (previous_.isEmpty()) qunsetenv("QUORVALIS_HOME");
    else qputenv("QUORVALIS_HOME", previous_);
  }

  QString path(const QString& name) const { return QDir(dir_.path()).filePath(name); }

  // A name in the program folder, or a full path.
  void writeBytes(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray readBytes(const QString& name) const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  bool exists(const QString& name) const { return QFile::exists(path(name)); }

 private:
  QTemporaryDir dir_;
  QByteArray previous_;
};

}  // namespace quorvalis::testing
