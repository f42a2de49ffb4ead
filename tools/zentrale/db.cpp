#include "db.h"

namespace zentrale {

Database::Database(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    return;
  }
  sqlite3_busy_timeout(db_, 5000);
  exec("PRAGMA journal_mode=WAL");
}

Database::~Database() { sqlite3_close(db_); }

std::vector<Row> Database::query(const std::string& sql, const std::vector<std::string>& params) {
  std::lock_guard lock(mutex_);
  std::vector<Row> rows;
  sqlite3_stmt* stmt = nullptr;
  if (!db_ || sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return rows;
  for (size_t i = 0; i < params.size(); ++i)
    sqlite3_bind_text(stmt, static_cast<int>(i + 1), params[i].c_str(),
                      static_cast<int>(params[i].size()), SQLITE_TRANSIENT);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    Row row;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const auto* text = sqlite3_column_text(stmt, c);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return rows;
}

int Database::exec(const std::string& sql, const std::vector<std::string>& params) {
  std::lock_guard lock(mutex_);
  sqlite3_stmt* stmt = nullptr;
  if (!db_ || sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return -1;
  for (size_t i = 0; i < params.size(); ++i)
    sqlite3_bind_text(stmt, static_cast<int>(i + 1), params[i].c_str(),
                      static_cast<int>(params[i].size()), SQLITE_TRANSIENT);
  int rc = sqlite3_step(stmt);
  while (rc == SQLITE_ROW) rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? sqlite3_changes(db_) : -1;
}

std::optional<std::string> Database::scalar(const std::string& sql,
                                            const std::vector<std::string>& params) {
  auto rows = query(sql, params);
  if (rows.empty() || rows.front().empty()) return std::nullopt;
  return rows.front().front();
}

std::string Database::lastError() const {
  std::lock_guard lock(mutex_);
  return db_ ? sqlite3_errmsg(db_) : "no database";
}

}  // namespace zentrale
