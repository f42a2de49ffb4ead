#include "settings/settings_files.h"

#include "platform/program_folder.h"
#include "settings/ini.h"

namespace quorvalis {

QString readSetting(const IniKey& key) {
  return IniRead(programFile(QString::fromLatin1(key.file)), QString::fromLatin1(key.section),
                 QString::fromLatin1(key.key), QString::fromLatin1(key.def));
}

void writeSetting(const IniKey& key, const QString& value) {
  IniWrite(programFile(QString::fromLatin1(key.file)), QString::fromLatin1(key.section),
           QString::fromLatin1(key.key), value);
}

bool settingOn(const IniKey& key) { return readSetting(key) == QStringLiteral("1"); }

bool rememberBranchId(bool ticked, const QString& id) {
  if (id.isEmpty()) return false;
  writeSetting(keys::kLog, ticked ? QStringLiteral("1") : QStringLiteral("0"));
  writeSetting(keys::kId, ticked ? id : QString());
  return true;
}

}  // namespace quorvalis
