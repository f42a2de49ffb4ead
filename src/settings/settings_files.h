// The terminal's settings files and keys, with the default each reader passes.
#pragma once

#include <QString>

namespace quorvalis {

namespace files {
inline constexpr char kCl[] = "cl.ini";              // the terminal's own state
inline constexpr char kFilial[] = "filialini.ini";   // branch configuration, downloaded
inline constexpr char kVersion[] = "version.ini";    // installed program version
inline constexpr char kRss[] = "rss.ini";            // ticker settings, downloaded
inline constexpr char kCouponsLog[] = "coupons.ini"; // redemption log (plain text)
inline constexpr char kInstall[] = "install.ini";    // central server host, written at install
inline constexpr char kUpdate[] = "update.ini";      // the installer's word on a failed update
}  // namespace files

struct IniKey {
  const char* file;
  const char* section;
  const char* key;
  const char* def;
};

namespace keys {
// cl.ini
inline constexpr IniKey kLog{files::kCl, "start", "log", "0"};
inline constexpr IniKey kId{files::kCl, "start", "ID", ""};
inline constexpr IniKey kClub{files::kCl, "start", "club", "0"};
inline constexpr IniKey kFl{files::kCl, "start", "FL", ""};
inline constexpr IniKey kCla{files::kCl, "start", "cla", "0"};
inline constexpr IniKey kCll{files::kCl, "start", "cll", "---"};  // last report reset
inline constexpr IniKey kTempNr{files::kCl, "temp", "nr", ""};
inline constexpr IniKey kQPrinter{files::kCl, "Settings", "QPrinter", "-"};
// filialini.ini
inline constexpr IniKey kAutomin{files::kFilial, "clients", "automin", "0"};
inline constexpr IniKey kNomin{files::kFilial, "clients", "nomin", "0"};
inline constexpr IniKey kWinb{files::kFilial, "clients", "winb", "0"};
inline constexpr IniKey kWin{files::kFilial, "clients", "win", "0"};
inline constexpr IniKey kPass{files::kFilial, "clients", "pass", ""};
inline constexpr IniKey kKats{files::kFilial, "clients", "kats", "0"};
inline constexpr IniKey kAbs{files::kFilial, "clients", "abs", "Basic"};
inline constexpr IniKey kMsg{files::kFilial, "clients", "msg", "NO"};
inline constexpr IniKey kCoupon{files::kFilial, "clients", "coupon", "0"};
inline constexpr IniKey kEuro{files::kFilial, "clients", "euro", "0"};
inline constexpr IniKey kPrint{files::kFilial, "clients", "print", "0"};
inline constexpr IniKey kPruefen{files::kFilial, "clients", "pruefen", "0"};
inline constexpr IniKey kQuitt{files::kFilial, "clients", "quitt", "0"};
// version.ini
inline constexpr IniKey kInstalledVersion{files::kVersion, "Version", "filial", "F106"};
// update.ini
inline constexpr IniKey kFailedUpdate{files::kUpdate, "failed", "version", ""};
// rss.ini
inline constexpr IniKey kRssMain{files::kRss, "rss", "main", "0"};
// install.ini
inline constexpr IniKey kServerHost{files::kInstall, "server", "host", "localhost"};
inline constexpr IniKey kServerTimeout{files::kInstall, "server", "timeout", "30"};
inline constexpr IniKey kServerCa{files::kInstall, "server", "ca", ""};
inline constexpr IniKey kUpdateKey{files::kInstall, "update", "key", ""};
inline constexpr IniKey kCardReader{files::kInstall, "card", "reader", ""};  // PC/SC reader's name
inline constexpr IniKey kCardSelect{files::kInstall, "card", "select", ""};  // hex, sent to each card first
inline constexpr IniKey kGuardHang{files::kInstall, "guard", "hang", "60"};  // seconds without a heartbeat
}  // namespace keys

// IniRead/IniWrite of a named key in the program folder.
QString readSetting(const IniKey& key);
void writeSetting(const IniKey& key, const QString& value);
// A flag is on only when it reads exactly "1".
bool settingOn(const IniKey& key);

// The "remember the ID" box of the start and settings forms, just touched: ticked stores log
// "1" and the ID, unticked log "0" and an empty ID (the form empties its field). False when
// the ID field is empty: nothing is stored and the box goes back to unticked.
bool rememberBranchId(bool ticked, const QString& id);

}  // namespace quorvalis
