// Records of the terminal's unplanned ends: one text file each (and a minidump on Windows) in
// the program folder's "crashes", the newest kept.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvalis::diag {

inline constexpr char kCrashFolder[] = "crashes";
inline constexpr int kKeptRecords = 10;

struct CrashRecord {
  std::chrono::system_clock::time_point time;
  std::string version, platform, kind, cause;
  std::vector<std::string> frames;  // "module+0xoffset", innermost first
  std::string dumpFile;             // beside the record; "" for none
};

std::string formatRecord(const CrashRecord& record);
// False when the text is not a record (kind and time are required).
bool parseRecord(const std::string& text, CrashRecord* record);

// Writes the record as <folder>/crashes/<time>-<n>.txt, the dump (when there is one) moved beside
// it as <time>-<n>.dmp, and keeps the newest kKeptRecords with their dumps. Returns the record's
// file, or an empty path when it could not be written.
std::filesystem::path writeRecord(const std::filesystem::path& programFolder, CrashRecord record,
                                  const std::filesystem::path& dumpSource = {});

// The records newer than since, newest first.
std::vector<CrashRecord> recordsSince(const std::filesystem::path& programFolder,
                                      std::chrono::system_clock::time_point since);

}  // namespace quorvalis::diag
