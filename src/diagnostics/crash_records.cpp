#include "diagnostics/crash_records.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

#include "diagnostics/support_log.h"

namespace quorvalis::diag {

namespace fs = std::filesystem;
using std::chrono::system_clock;

std::string formatRecord(const CrashRecord& r) {
  std::string out;
  out += "time: " + localTimeText(r.time) + "\r\n";
  out += "epoch: " + std::to_string(system_clock::to_time_t(r.time)) + "\r\n";
  out += "version: " + r.version + "\r\n";
  out += "platform: " + r.platform + "\r\n";
  out += "kind: " + r.kind + "\r\n";
  out += "cause: " + r.cause + "\r\n";
  if (!r.dumpFile.empty()) out += "dump: " + r.dumpFile + "\r\n";
  out += "frames:" + std::string(r.frames.empty() ? " none reported" : "") + "\r\n";
  for (const auto& f : r.frames) out += "  " + f + "\r\n";
  return out;
}

bool parseRecord(const std::string& text, CrashRecord* r) {
  std::istringstream in(text);
  std::string line;
  bool timed = false, inFrames = false;
  *r = {};
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (inFrames && line.rfind("  ", 0) == 0) {
      r->frames.push_back(line.substr(2));
      continue;
    }
    const auto colon = line.find(": ");
    const std::string key = line.substr(0, line.find(':'));
    const std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 2);
    inFrames = key == "frames";
    if (key == "epoch") {
      try {
        r->time = system_clock::from_time_t(static_cast<std::time_t>(std::stoll(value)));
        timed = true;
      } catch (const std::exception&) {
        return false;
      }
    } else if (key == "version") r->version = value;
    else if (key == "platform") r->platform = value;
    else if (key == "kind") r->kind = value;
    else if (key == "cause") r->cause = value;
    else if (key == "dump") r->dumpFile = value;
  }
  return timed && !r->kind.empty();
}

namespace {

std::vector<fs::path> recordFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".txt") files.push_back(it->path());
  // Names begin with the time, so the name order is the time order.
  std::sort(files.begin(), files.end());
  return files;
}

std::string readWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

fs::path writeRecord(const fs::path& programFolder, CrashRecord record, const fs::path& dumpSource) {
  const fs::path folder = programFolder / kCrashFolder;
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::string stamp = localTimeText(record.time);
  std::replace(stamp.begin(), stamp.end(), ' ', '-');
  stamp.erase(std::remove(stamp.begin(), stamp.end(), ':'), stamp.end());
  fs::path file;
  for (int n = 1; file.empty() || fs::exists(file); ++n) file = folder / (stamp + "-" + std::to_string(n) + ".txt");
  if (!dumpSource.empty() && fs::exists(dumpSource, ec)) {
    fs::path dump = file;
    dump.replace_extension(".dmp");
    fs::rename(dumpSource, dump, ec);
    if (!ec) record.dumpFile = dump.filename().string();
  }
  {
    std::ofstream out(file, std::ios::binary);
    out << formatRecord(record);
    if (!out.flush()) return {};
  }
  auto files = recordFiles(folder);
  for (size_t i = 0; i + kKeptRecords < files.size(); ++i) {
    CrashRecord old;
    if (parseRecord(readWhole(files[i]), &old) && !old.dumpFile.empty()) fs::remove(folder / old.dumpFile, ec);
    fs::remove(files[i], ec);
  }
  return file;
}

std::vector<CrashRecord> recordsSince(const fs::path& programFolder, system_clock::time_point since) {
  std::vector<CrashRecord> records;
  for (const auto& file : recordFiles(programFolder / kCrashFolder)) {
    CrashRecord r;
    if (parseRecord(readWhole(file), &r) && r.time >= since) records.push_back(r);
  }
  std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.time > b.time; });
  return records;
}

}  // namespace quorvalis::diag
