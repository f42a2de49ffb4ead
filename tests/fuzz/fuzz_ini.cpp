// INI reading and writing on any file content and any names.
#include <fuzzer/FuzzedDataProvider.h>

#include <QRegularExpression>

#include "common/text.h"
#include "settings/ini.h"

using namespace quorvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const QString section = fromCp1252(QByteArray::fromStdString(in.ConsumeRandomLengthString(32)));
  const QString key = fromCp1252(QByteArray::fromStdString(in.ConsumeRandomLengthString(32)));
  const QString value = fromCp1252(QByteArray::fromStdString(in.ConsumeRandomLengthString(64)));
  const QByteArray file = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

  (void)iniReadText(file, section, key, QStringLiteral("d"));
  const QByteArray written = iniWriteText(file, section, key, value);
  // Plain names and values always read back as written.
  static const QRegularExpression plain(QStringLiteral("\\A[A-Za-z0-9]+\\z"));
  if (plain.match(section).hasMatch() && plain.match(key).hasMatch() &&
      (value.isEmpty() || plain.match(value).hasMatch()) &&
      iniReadText(written, section, key, QStringLiteral("\x01")) != value) __builtin_trap();
  return 0;
}
