// The development central server: the branch scripts over SQLite, the branch files from a data
// folder, and a stand-in SMS gateway.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "db.h"

namespace zentrale {

struct Reply {
  int status = 200;
  std::string body;  // bytes as sent (Windows-1252)
  std::string contentType = "text/plain; charset=windows-1252";
};

class Zentrale {
 public:
  explicit Zentrale(const std::string& dataDir);
  bool ok() const { return db_.ok(); }

  // One GET, by its request target exactly as received.
  Reply handle(const std::string& target);

  // Demo branch, files, coupons and members; the gateway address needs the server's port.
  void seedDemo(const std::string& gatewayBase);
  // count guests of the demo branch, each with a coupon, for load runs.
  void seedGuests(int count);
  void setGateReply(const std::string& gate, const std::string& reply);

 private:
  using Fields = std::vector<std::string>;  // a script's query split at "---"
  Reply script(const std::string& name, const std::string& query);
  Reply branchInfo(const std::string& branch);
  // Each of these has its fields counted and the branch in fields[0] known.
  Reply searchGuest(const Fields& fields);
  Reply addGuest(const Fields& fields);
  Reply addCoupon(const Fields& fields);
  Reply addSmsSending(const Fields& fields);
  Reply searchCoupon(const Fields& fields);
  Reply redeemCoupon(const Fields& fields);
  Reply searchClubMember(const Fields& fields);
  Reply file(const std::string& path);
  Reply gateway(const std::string& gate, const std::string& target);
  void logRequest(const std::string& target);
  void writeDataFile(const std::string& relative, const std::string& utf8Text);

  std::string dataDir_;
  Database db_;
  std::mutex logMutex_;
};

}  // namespace zentrale
