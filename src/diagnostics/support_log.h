// The support log: one line per event, bounded, shared by the terminal and its guard. Standard
// library only, so the guard needs nothing else.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvalis::diag {

enum class Level { Info, Warning, Error };

inline constexpr char kLogName[] = "quorval.log";
inline constexpr std::uintmax_t kLogLimitBytes = 1024 * 1024;  // per file
inline constexpr int kOldLogs = 2;                              // quorval.1.log, quorval.2.log

// "2026-12-07 17:01:02" in local time.
std::string localTimeText(std::chrono::system_clock::time_point t, bool withMillis = false);

// The line as written: time, level, process, source, text; line breaks in text become blanks.
std::string formatLogLine(std::chrono::system_clock::time_point t, Level level, long pid,
                          std::string_view source, std::string_view text);

// Appends one line to folder/quorval.log; when that file has reached the limit it becomes
// quorval.1.log first (and that one quorval.2.log; the oldest goes). False when nothing was
// written. Whoever writes the log never learns more than that: the log must never stop the
// program.
bool appendLogLine(const std::filesystem::path& folder, Level level, std::string_view source,
                   std::string_view text);

// The script of a server request without its values, which carry names, numbers and codes.
std::string requestName(std::string_view target);

long currentProcessId();

}  // namespace quorvalis::diag
