// zentrale: development central server for the branch terminal.
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
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
      "  --gate-reply G=R  gateway G (gate1, gate2, gate3) answers R instead of OK\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dataDir = "zentrale-data", bind = "127.0.0.1";
  int port = 8080;
  bool seed = false;
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
  http.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
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
  for (const auto& [gate, reply] : gateReplies) server.setGateReply(gate, reply);
  std::printf("zentrale listening on %s\n", base.c_str());
  std::fflush(stdout);
  return http.listen_after_bind() ? 0 : 1;
}
