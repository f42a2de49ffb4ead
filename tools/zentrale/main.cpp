// zentrale: development central server for the branch terminal.
#include <httplib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zentrale.h"

namespace {

int usage() {
  std::fputs(
      "usage: zentrale [--data DIR] [--bind ADDRESS] [--port N] [--seed-demo]\n"
      "                [--gate-reply GATE=REPLY]...\n"
      "  --data DIR        database, branch files and request log (default ./zentrale-data)\n"
      "  --bind ADDRESS    listen address (default 127.0.0.1)\n"
      "  --port N          port, 0 for any free one (default 8080)\n"
      "  --seed-demo       create the demo branch DEMO01 with files, coupons and members\n"
      "  --seed-guests N   add N guests of DEMO01, each with a coupon (load runs)\n"
      "  --gate-reply G=R  gateway G (gate1, gate2, gate3) answers R instead of OK\n"
      "Faults for tests, set at run time: GET /_fault?PATH=KIND makes every request whose\n"
      "path starts with PATH fail as KIND (empty, notfound, error500, garbage, huge, silent,\n"
      "cut, redirect); GET /_fault/clear ends them.\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dataDir = "zentrale-data", bind = "127.0.0.1";
  int port = 8080;
  bool seed = false;
  int guests = 0;
  std::vector<std::pair<std::string, std::string>> gateReplies;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--data") {
      if (const char* v = next()) dataDir = v; else return usage();
    } else if (arg == "--bind") {
      if (const char* v = next()) bind = v; else return usage();
    } else if (arg == "--port") {
      if (const char* v = next()) port = std::atoi(v); else return usage();
    } else if (arg == "--seed-demo") {
      seed = true;
    } else if (arg == "--seed-guests") {
      if (const char* v = next()) guests = std::atoi(v); else return usage();
    } else if (arg == "--gate-reply") {
      const char* v = next();
      const std::string spec = v ? v : "";
      const size_t eq = spec.find('=');
      if (eq == std::string::npos) return usage();
      gateReplies.emplace_back(spec.substr(0, eq), spec.substr(eq + 1));
    } else {
      return usage();
    }
  }

  zentrale::Zentrale server(dataDir);
  if (!server.ok()) {
    std::fprintf(stderr, "zentrale: cannot open the database in %s\n", dataDir.c_str());
    return 1;
  }
  httplib::Server http;
  // Headers and body go out in separate writes; without this each reply waits for a delayed ACK.
  http.set_tcp_nodelay(true);
  // A terminal asks one request after the other on one connection; closing it after httplib's
  // default of five requests made every fifth round trip open a new one.
  http.set_keep_alive_max_count(100000);
  // Faulty answers on purpose, by path prefix: what a broken network or server does.
  std::mutex faultMutex;
  std::map<std::string, std::string> faults;
  http.Get("/_fault/clear", [&](const httplib::Request&, httplib::Response& res) {
    std::lock_guard lock(faultMutex);
    faults.clear();
    res.set_content("OK", "text/plain");
  });
  http.Get("/_fault", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(faultMutex);
    for (const auto& [path, kind] : req.params) faults[path] = kind;
    res.set_content("OK", "text/plain");
  });
  http.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    std::string fault;
    {
      std::lock_guard lock(faultMutex);
      for (const auto& [path, kind] : faults)
        if (req.path.rfind(path, 0) == 0) fault = kind;
    }
    if (fault == "empty") return res.set_content("", "text/plain");
    if (fault == "notfound") {
      res.status = 404;
      return res.set_content("<html><body><h1>404 File Not Found</h1></body></html>", "text/html");
    }
    if (fault == "error500") {
      res.status = 500;
      return res.set_content("Internal Server Error", "text/plain");
    }
    if (fault == "garbage") return res.set_content(std::string("\x01\xfe\x00\xff\x7f\x80\x1b[2J\xc3\x28", 12), "application/octet-stream");
    if (fault == "huge") return res.set_content(std::string(2 * 1024 * 1024, 'x'), "text/plain");
    if (fault == "silent") {
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));
      return res.set_content("too late", "text/plain");
    }
    if (fault == "cut") {
      // Announces 1000 bytes, sends ten, closes the connection.
      return res.set_content_provider(1000, "text/plain", [](size_t, size_t, httplib::DataSink& sink) {
        sink.write("0123456789", 10);
        return false;
      });
    }
    if (fault == "redirect") return res.set_redirect("/quorvalis/DATA/elsewhere");
    const zentrale::Reply reply = server.handle(req.target);
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
  });
  const int bound = port == 0 ? http.bind_to_any_port(bind) : (http.bind_to_port(bind, port) ? port : -1);
  if (bound <= 0) {
    std::fprintf(stderr, "zentrale: cannot listen on %s:%d\n", bind.c_str(), port);
    return 1;
  }
  const std::string base = "http://" + bind + ":" + std::to_string(bound);
  if (seed) server.seedDemo(base);
  if (guests > 0) server.seedGuests(guests);
  for (const auto& [gate, reply] : gateReplies) server.setGateReply(gate, reply);
  std::printf("zentrale listening on %s\n", base.c_str());
  std::fflush(stdout);
  return http.listen_after_bind() ? 0 : 1;
}
