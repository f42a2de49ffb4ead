// The branch's configuration from the central server, the settings password and the update
// check: the rules, without any screen.
#pragma once

#include <QString>

#include "server/central_server.h"

namespace quorvalis {

// The branch lookup at start: directory;display name;branch name;postcode, blanks as "%20".
struct BranchInfo {
  bool answered = false;  // false: the server did not answer
  QString directory, displayName, branchName, postcode;
};
QString branchLookupPath(const QString& branchId);
BranchInfo parseBranchReply(const QString& reply);

// A reply that may be written as a settings file: the server answered and found the file.
bool isUsableFileReply(const QString& reply);
// The reply holds the section header [section] (any case, blanks allowed): a settings file.
bool hasSection(const QString& reply, const char* section);

enum class Download { kWritten, kNotFound, kNoAnswer };

// filialini.ini from the numbered file, else the directory's common file. Nothing is deleted
// before a usable reply arrived; a not-found answer for both removes the old file.
Download downloadBranchConfiguration(CentralServer& server, const QString& directory,
                                     const QString& fileNumber);
// rss.ini: replaced by a usable reply, removed when the server has none, kept when it is silent.
Download downloadTickerSettings(CentralServer& server, const QString& directory);

// A + scrambled middle + BB. Character i (from 1) of the middle, ANSI code c, becomes code
// c + i - A - B; the first nine are filler. Empty when nothing is left after the filler.
QString unscramblePassword(const QString& pass);

// A version name: letters, digits, ".", "-", "_", at most 15 characters.
bool isVersionName(const QString& text);
// The update check's verdict on the server's version reply.
enum class UpdateCheck { kNoReply, kCurrent, kNewer };
UpdateCheck checkVersionReply(const QString& reply, const QString& installed);
inline constexpr char kVersionPath[] = "/quorvalis/update/filial.ini";
QString updateProgramPath(const QString& version);  // on the server
QString updateProgramFile(const QString& version);  // in the program folder

}  // namespace quorvalis
