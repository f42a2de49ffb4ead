#include "zentrale.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/text.h"

namespace zentrale {
namespace {

namespace fs = std::filesystem;
using quorvalis::dateText;

std::string wireToUtf8(const std::string& bytes) {
  return quorvalis::fromCp1252(QByteArray::fromStdString(bytes)).toStdString();
}

std::string utf8ToWire(const std::string& text) {
  return quorvalis::toCp1252(QString::fromStdString(text)).toStdString();
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> split(const std::string& s, const std::string& sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t pos; (pos = s.find(sep, start)) != std::string::npos; start = pos + sep.size())
    parts.push_back(s.substr(start, pos - start));
  parts.push_back(s.substr(start));
  return parts;
}

std::string join(const std::vector<std::string>& parts, const std::string& sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? sep : "") + parts[i];
  return out;
}

// Blanks travel as "%20" in the texts the server sends.
std::string blanksAsPct20(std::string s) {
  for (size_t pos; (pos = s.find(' ')) != std::string::npos;) s.replace(pos, 1, "%20");
  return s;
}

std::string today() { return dateText(QDate::currentDate()).toStdString(); }

Reply text(const std::string& utf8) { return {200, utf8ToWire(utf8)}; }

// A script that cannot use its query prints why, as a CGI script does: still a 200 answer.
Reply error(const std::string& why) { return {200, utf8ToWire("FEHLER: " + why)}; }

Reply notFound(const std::string& what) {
  return {404,
          "<html><head><title>404 File Not Found</title></head><body><h1>File Not Found</h1>"
          "<p>" + utf8ToWire(what) + "</p></body></html>",
          "text/html; charset=windows-1252"};
}

const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS branches(id TEXT PRIMARY KEY, dir TEXT NOT NULL,"
    " display_name TEXT NOT NULL, name TEXT NOT NULL, postcode TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS guests(id INTEGER PRIMARY KEY, branch TEXT, number TEXT,"
    " first TEXT, last TEXT, birthday TEXT, branch_text TEXT, created TEXT, flags TEXT)",
    "CREATE TABLE IF NOT EXISTS blocked(number TEXT PRIMARY KEY)",
    "CREATE TABLE IF NOT EXISTS coupons(id INTEGER PRIMARY KEY, branch TEXT, number TEXT,"
    " code TEXT, valid_until TEXT, text TEXT, value TEXT, created TEXT, branch_filter TEXT,"
    " redeemed TEXT NOT NULL DEFAULT '-', redeemed_alt TEXT NOT NULL DEFAULT '',"
    " redeemed_by TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS club_members(number TEXT PRIMARY KEY, first TEXT, second TEXT,"
    " extra TEXT)",
    "CREATE TABLE IF NOT EXISTS sms(id INTEGER PRIMARY KEY, gate TEXT, target TEXT, receiver TEXT,"
    " sender TEXT, msg TEXT, account TEXT, password TEXT, reply TEXT, received TEXT)",
    "CREATE TABLE IF NOT EXISTS sms_sendings(id INTEGER PRIMARY KEY, branch TEXT, date TEXT,"
    " sent TEXT, coupon TEXT, euro TEXT, postcode TEXT, sender TEXT)",
    "CREATE TABLE IF NOT EXISTS gate_replies(gate TEXT PRIMARY KEY, reply TEXT NOT NULL)",
    // The look-ups every registration and redemption makes, fast also over a million guests.
    "CREATE INDEX IF NOT EXISTS guests_number ON guests(branch, number)",
    "CREATE INDEX IF NOT EXISTS guests_name ON guests(branch, first, last, birthday)",
    "CREATE INDEX IF NOT EXISTS coupons_number ON coupons(number, code)",
};

}  // namespace

Zentrale::Zentrale(const std::string& dataDir)
    : dataDir_(dataDir), db_((fs::create_directories(dataDir), dataDir + "/zentrale.sqlite")) {
  for (const char* sql : kSchema) db_.exec(sql);
}

void Zentrale::logRequest(const std::string& target) {
  std::lock_guard lock(logMutex_);
  std::ofstream log(dataDir_ + "/requests.log", std::ios::app | std::ios::binary);
  log << target << '\n';
}

Reply Zentrale::handle(const std::string& target) {
  logRequest(target);
  const size_t q = target.find('?');
  const std::string rawPath = target.substr(0, q);
  const std::string rawQuery = q == std::string::npos ? "" : target.substr(q + 1);
  const std::string path = wireToUtf8(percentDecode(rawPath));

  for (const char* gate : {"gate1", "gate2", "gate3"})
    if (path.rfind(std::string("/") + gate + "/", 0) == 0) return gateway(gate, rawQuery);

  const std::string dataPrefix = "/quorvalis/DATA/";
  if (path.rfind(dataPrefix, 0) == 0) {
    const std::string rest = path.substr(dataPrefix.size());
    if (rest.size() > 4 && rest.find('/') == std::string::npos &&
        rest.compare(rest.size() - 4, 4, ".cgi") == 0)
      return script(rest, wireToUtf8(percentDecode(rawQuery)));
    return file(path);
  }
  if (path.rfind("/quorvalis/update/", 0) == 0) return file(path);
  return notFound(path);
}

Reply Zentrale::file(const std::string& path) {
  // Only plain names below the two served folders; nothing can climb out of the data folder.
  const std::string relative = path.substr(std::string("/quorvalis/").size());
  for (const auto& part : split(relative, "/"))
    if (part.empty() || part == "." || part == "..") return notFound(path);
  const fs::path local = fs::path(dataDir_) / relative;
  std::error_code ec;
  if (!fs::is_regular_file(local, ec)) return notFound(path);
  std::ifstream in(local, std::ios::binary);
  std::ostringstream body;
  body << in.rdbuf();
  Reply reply{200, body.str()};
  if (local.extension() == ".xml") reply.contentType = "application/xml";
  else if (local.extension() == ".exe" || local.extension().empty())
    reply.contentType = "application/octet-stream";
  return reply;
}

Reply Zentrale::script(const std::string& name, const std::string& query) {
  if (name == "filiale.cgi") return branchInfo(query);
  // The other scripts take "branch---..." with a fixed number of fields.
  struct BranchScript {
    size_t fieldCount;
    const char* expects;
    Reply (Zentrale::*run)(const Fields&);
  };
  static const std::map<std::string, BranchScript> kScripts = {
      {"search2.cgi",
       {5, "Filiale---Nummer---Vorname---Nachname---Geburtstag", &Zentrale::searchGuest}},
      {"addclient.cgi", {2, "Filiale---Datensatz", &Zentrale::addGuest}},
      {"addcoupon.cgi", {2, "Filiale---Gutschein", &Zentrale::addCoupon}},
      {"smssending.cgi", {2, "Filiale---Versand", &Zentrale::addSmsSending}},
      {"searchc.cgi", {3, "Filiale---Nummer---Code", &Zentrale::searchCoupon}},
      {"delcoupon.cgi", {4, "Filiale---Nummer---Code---Datum", &Zentrale::redeemCoupon}},
      {"clubsearch.cgi", {2, "Filiale---Nummer", &Zentrale::searchClubMember}},
  };
  const auto found = kScripts.find(name);
  if (found == kScripts.end()) return notFound("/quorvalis/DATA/" + name);
  const BranchScript& s = found->second;
  const Fields fields = split(query, "---");
  if (fields.size() != s.fieldCount) return error(name + " erwartet " + s.expects);
  if (!db_.scalar("SELECT 1 FROM branches WHERE id = ?", {fields[0]}))
    return error("unbekannte Filiale");
  return (this->*s.run)(fields);
}

Reply Zentrale::branchInfo(const std::string& branch) {
  auto rows =
      db_.query("SELECT dir, display_name, name, postcode FROM branches WHERE id = ?", {branch});
  if (rows.empty()) return text("-");
  for (auto& field : rows[0]) field = blanksAsPct20(field);
  return text(join(rows[0], ";"));
}

Reply Zentrale::searchGuest(const Fields& fields) {
  const auto& branch = fields[0];
  const auto& number = fields[1];
  if (db_.scalar("SELECT 1 FROM blocked WHERE number = ?", {number})) return text("---");
  auto count = [&](const std::string& where, const std::vector<std::string>& params) {
    return db_.scalar("SELECT COUNT(*) FROM guests WHERE branch = ? AND " + where, params)
        .value_or("0");
  };
  return text(
      count("number = ?", {branch, number}) + "-" +
      count("first = ? AND last = ?", {branch, fields[2], fields[3]}) + "-" +
      count("first = ? AND last = ? AND birthday = ?", {branch, fields[2], fields[3], fields[4]}));
}

Reply Zentrale::addGuest(const Fields& fields) {
  const auto record = split(fields[1], ";");
  if (record.size() != 7) return error("Datensatz braucht 7 Felder");
  const int changed = db_.exec(
      "INSERT INTO guests(branch, number, first, last, birthday, branch_text, created, flags)"
      " VALUES(?,?,?,?,?,?,?,?)",
      {fields[0], record[0], record[1], record[2], record[3], record[4], record[5], record[6]});
  return changed == 1 ? text("OK") : error(db_.lastError());
}

Reply Zentrale::addCoupon(const Fields& fields) {
  const auto c = split(fields[1], ";");
  if (c.size() != 7) return error("Gutschein braucht 7 Felder");
  const int changed = db_.exec(
      "INSERT INTO coupons(branch, number, code, valid_until, text, value, created, branch_filter)"
      " VALUES(?,?,?,?,?,?,?,?)",
      {fields[0], c[0], c[1], c[2], c[3], c[4], c[5], c[6] == "-" ? "" : c[6]});
  return changed == 1 ? text("OK") : error(db_.lastError());
}

Reply Zentrale::addSmsSending(const Fields& fields) {
  const auto s = split(fields[1], ";");
  if (s.size() != 6) return error("Versand braucht 6 Felder");
  db_.exec(
      "INSERT INTO sms_sendings(branch, date, sent, coupon, euro, postcode, sender)"
      " VALUES(?,?,?,?,?,?,?)",
      {fields[0], s[0], s[1], s[2], s[3], s[4], s[5]});
  return text("OK");
}

Reply Zentrale::searchCoupon(const Fields& fields) {
  auto rows = db_.query(
      "SELECT code, valid_until, text, value, created, branch_filter, redeemed, redeemed_alt"
      " FROM coupons WHERE number = ? AND code = ? ORDER BY id DESC LIMIT 1",
      {fields[1], fields[2]});
  if (rows.empty()) return text("-");
  auto& r = rows[0];
  r[2] = blanksAsPct20(r[2]);
  r[5] = blanksAsPct20(r[5]);
  return text(join(r, ";"));
}

Reply Zentrale::redeemCoupon(const Fields& fields) {
  const int changed = db_.exec(
      "UPDATE coupons SET redeemed = ?, redeemed_by = ? WHERE id = (SELECT id FROM coupons"
      " WHERE number = ? AND code = ? AND (redeemed = '-' OR redeemed = '')"
      " AND length(redeemed_alt) < 6 ORDER BY id DESC LIMIT 1)",
      {fields[3], fields[0], fields[1], fields[2]});
  return changed == 1 ? text("OK") : text("FEHLER");
}

Reply Zentrale::searchClubMember(const Fields& fields) {
  auto rows = db_.query("SELECT number, first, second, extra FROM club_members WHERE number = ?",
                        {fields[1]});
  if (rows.empty()) return text("-");
  for (auto& field : rows[0]) field = blanksAsPct20(field);
  return text(join(rows[0], ";"));
}

Reply Zentrale::gateway(const std::string& gate, const std::string& rawQuery) {
  std::map<std::string, std::string> params;
  for (const auto& pair : split(rawQuery, "&")) {
    const size_t eq = pair.find('=');
    if (eq == std::string::npos) continue;
    params[pair.substr(0, eq)] = wireToUtf8(percentDecode(pair.substr(eq + 1)));
  }
  const std::string reply =
      db_.scalar("SELECT reply FROM gate_replies WHERE gate = ?", {gate}).value_or("OK");
  db_.exec("INSERT INTO sms(gate, target, receiver, sender, msg, account, password, reply, received)"
           " VALUES(?,?,?,?,?,?,?,?,datetime('now'))",
           {gate, wireToUtf8(rawQuery), params["receiver"], params["sender"], params["msg"],
            params["id"], params["pw"], reply});
  return text(reply);
}

void Zentrale::setGateReply(const std::string& gate, const std::string& reply) {
  db_.exec("INSERT OR REPLACE INTO gate_replies(gate, reply) VALUES(?, ?)", {gate, reply});
}

void Zentrale::writeDataFile(const std::string& relative, const std::string& utf8Text) {
  const fs::path path = fs::path(dataDir_) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << utf8ToWire(utf8Text);
}

void Zentrale::seedGuests(int count) {
  // Deterministic: guest i has the number 0049172 + (1000000 + i) and coupon code i % 10000.
  db_.exec("BEGIN");
  for (int i = 0; i < count; ++i) {
    const std::string number = "0049172" + std::to_string(1000000 + i);
    char code[5];
    std::snprintf(code, sizeof code, "%04d", i % 10000);
    db_.exec("INSERT INTO guests(branch, number, first, last, birthday, branch_text, created, flags)"
             " VALUES('DEMO01', ?, ?, 'Gast', '01.01.1980', '12345-Bar Nord Demo', '01.12.2026',"
             " 'ABCDEFMN')",
             {number, "Vorname" + std::to_string(i)});
    db_.exec("INSERT INTO coupons(branch, number, code, valid_until, text, value, created,"
             " branch_filter) VALUES('DEMO01', ?, ?, '31.12.2027', 'Willkommen', '5', '01.12.2026', '')",
             {number, code});
  }
  db_.exec("COMMIT");
}

void Zentrale::seedDemo(const std::string& gatewayBase) {
  const QDate now = QDate::currentDate();
  auto date = [](const QDate& d) { return dateText(d).toStdString(); };
  db_.exec("INSERT OR REPLACE INTO branches VALUES('DEMO01', 'demo', 'Demo Filiale',"
           " 'Bar Nord Demo', '12345')");
  db_.exec("INSERT OR REPLACE INTO branches VALUES('DEMO02', 'demo', 'Zweite Filiale',"
           " 'Bar Süd Demo', '54321')");
  db_.exec("INSERT OR IGNORE INTO blocked VALUES('00491510000000')");
  db_.exec("DELETE FROM coupons WHERE branch = 'DEMO-SEED'");
  const std::vector<std::vector<std::string>> coupons = {
      {"1234", date(now.addDays(30)), "Freigetränk an der Bar", "5", "", "-", ""},
      {"2345", date(now.addDays(-1)), "Abgelaufener Gutschein", "5", "", "-", ""},
      {"3456", date(now.addDays(30)), "Schon eingelöst", "5", "", date(now.addDays(-3)), ""},
      {"4567", date(now.addDays(30)), "Nur in Bar Süd", "5", "Bar Süd", "-", ""},
      {"5678", "-", "Begrüßungscocktail", "0", "", "-", ""},
      {"0042", date(now.addDays(30)), "Happy Hour 7,5", "7.5", "", "-", ""},
  };
  for (const auto& c : coupons)
    db_.exec("INSERT INTO coupons(branch, number, code, valid_until, text, value, created,"
             " branch_filter, redeemed, redeemed_alt) VALUES('DEMO-SEED','00491711234567',"
             "?,?,?,?,?,?,?,?)",
             {c[0], c[1], c[2], c[3], today(), c[4], c[5], c[6]});
  db_.exec("INSERT OR REPLACE INTO club_members VALUES('00491711234567','Anna','Muster','Gold')");
  db_.exec("INSERT OR REPLACE INTO club_members VALUES('00491609876543','Max','Beispiel','Silber')");

  writeDataFile("DATA/demo/filial.ini",
                "[clients]\r\nautomin=0\r\nnomin=0\r\nwinb=0\r\nwin=0\r\npass=\r\nkats=1\r\n"
                "abs=Basic\r\nmsg=Hallo%20<VN>,%20willkommen%20im%20Club!%20Ihr%20Gutschein%20"
                "<C>%20über%20<E>%20Euro%20wartet.\r\ncoupon=1\r\neuro=5\r\nprint=1\r\n"
                "pruefen=0\r\nquitt=0\r\n");
  writeDataFile("DATA/demo/rss.ini", "[rss]\r\nmain=1\r\nitems=3\r\nspeed=2\r\ndescription=0\r\n");
  // The head office's branch feed: the items first, so the strip's first entries are news.
  writeDataFile("DATA/demo/rss.xml",
                "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<rss version=\"2.0\"><channel>"
                "<item><title>Willkommen in der Demo-Filiale</title><description>Heute "
                "Happy Hour ab 18 Uhr.</description><pubDate>" + today() + "</pubDate></item>"
                "<item><title>Neue Cocktails</title><description>Probieren Sie unsere "
                "Wintergetränke.</description><pubDate>" + today() + "</pubDate></item>"
                "<item><title>Clubabend am Freitag</title><description>Mit Clubkarte zwei "
                "Getränke zum Preis von einem.</description><pubDate>" + today() + "</pubDate></item>"
                "<title>Demo Filiale</title>"
                "</channel></rss>\n");
  writeDataFile("DATA/demo/smsauth.ini", "demoid-demopw-" + gatewayBase + "/gate1/send?");
  writeDataFile("DATA/demo/smsauthpro.ini", "proid-propw-" + gatewayBase + "/gate1/send?");
  writeDataFile("update/filial.ini", "F106");
}

}  // namespace zentrale
