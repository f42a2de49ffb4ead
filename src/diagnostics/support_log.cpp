#include "diagnostics/support_log.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace quorvalis::diag {

namespace fs = std::filesystem;

std::string localTimeText(std::chrono::system_clock::time_point t, bool withMillis) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::string out = text;
  if (withMillis) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
    char frac[8];
    std::snprintf(frac, sizeof frac, ".%03d", static_cast<int>(ms < 0 ? ms + 1000 : ms));
    out += frac;
  }
  return out;
}

std::string formatLogLine(std::chrono::system_clock::time_point t, Level level, long pid,
                          std::string_view source, std::string_view text) {
  static constexpr const char* kLevels[] = {"INFO ", "WARN ", "ERROR"};
  std::string line = localTimeText(t, true);
  line += ' ';
  line += kLevels[static_cast<int>(level)];
  line += " [" + std::to_string(pid) + "] ";
  line += source;
  line += ": ";
  for (const char c : text) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += "\r\n";  // read with Notepad on the branch PCs
  return line;
}

namespace {

fs::path logFile(const fs::path& folder, int age) {
  return folder / (age == 0 ? std::string(kLogName) : "quorval." + std::to_string(age) + ".log");
}

void rotateWhenFull(const fs::path& folder) {
  std::error_code ec;
  const auto size = fs::file_size(logFile(folder, 0), ec);
  if (ec || size < kLogLimitBytes) return;
  fs::remove(logFile(folder, kOldLogs), ec);
  for (int age = kOldLogs - 1; age >= 0; --age) fs::rename(logFile(folder, age), logFile(folder, age + 1), ec);
}

}  // namespace

bool appendLogLine(const fs::path& folder, Level level, std::string_view source, std::string_view text) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return false;
  rotateWhenFull(folder);
  std::ofstream out(logFile(folder, 0), std::ios::binary | std::ios::app);
  if (!out) return false;
  out << formatLogLine(std::chrono::system_clock::now(), level, currentProcessId(), source, text);
  out.flush();
  return static_cast<bool>(out);
}

std::string requestName(std::string_view target) {
  target = target.substr(0, target.find('?'));
  const auto slash = target.rfind('/');
  return std::string(slash == std::string_view::npos ? target : target.substr(slash + 1));
}

long currentProcessId() {
#ifdef _WIN32
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(::getpid());
#endif
}

}  // namespace quorvalis::diag
