// A thin, parameterised SQLite wrapper: values from requests never become SQL text.
#pragma once

#include <sqlite3.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zentrale {

using Row = std::vector<std::string>;

class Database {
 public:
  explicit Database(const std::string& path);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool ok() const { return db_ != nullptr; }
  // Runs one statement with ? parameters bound as text; returns its rows.
  std::vector<Row> query(const std::string& sql, const std::vector<std::string>& params = {});
  // Runs one statement; the number of rows changed, or -1 on error.
  int exec(const std::string& sql, const std::vector<std::string>& params = {});
  std::optional<std::string> scalar(const std::string& sql,
                                    const std::vector<std::string>& params = {});
  std::string lastError() const;

 private:
  sqlite3* db_ = nullptr;
  mutable std::recursive_mutex mutex_;
};

}  // namespace zentrale
