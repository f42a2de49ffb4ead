// zentrale: development central server for the branch terminal. For development and tests only:
// it listens on the loopback address unless told otherwise, and its faults on purpose answer only
// when started with --faults.
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "zentrale.h"

namespace {

// --help prints it on standard output and succeeds; a wrong command line gets it on stderr.
int usage(std::FILE* out = stderr) {
  std::fputs(
      "usage: zentrale [--data DIR] [--bind ADDRESS] [--port N] [--seed-demo] [--faults]\n"
      "                [--seed-guests N] [--gate-reply GATE=REPLY]... [--tls CERT KEY]\n"
      "The development central server of the quorvalis branch terminal: for development and\n"
      "tests, never for branches.\n"
      "  --data DIR        database, branch files and request log (default ./zentrale-data)\n"
      "  --bind ADDRESS    listen address (default 127.0.0.1, this machine only)\n"
      "  --port N          port, 0 for any free one (default 8080)\n"
      "  --seed-demo       create the demo branch DEMO01 with files, coupons and members\n"
      "  --seed-guests N   add N guests of DEMO01, each with a coupon (load runs)\n"
      "  --gate-reply G=R  gateway G (gate1, gate2, gate3) answers R instead of OK\n"
      "  --tls CERT KEY    serve HTTPS with that certificate and key (PEM files)\n"
      "  --faults          answer GET /_fault?PATH=KIND, which makes every request whose path\n"
      "                    starts with PATH fail as KIND (empty, notfound, error500, garbage,\n"
      "                    huge, silent, slow, trickle, cut, redirect), and GET /_fault/clear, which ends them\n",
      out);
  return out == stdout ? 0 : 2;
}

struct Options {
  std::string dataDir = "zentrale-data", bind = "127.0.0.1", cert, key;
  int port = 8080;
  bool seed = false, faults = false;
  int guests = 0;
  std::vector<std::pair<std::string, std::string>> gateReplies;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    const bool takesValue = arg == "--data" || arg == "--bind" || arg == "--port" ||
                            arg == "--seed-guests" || arg == "--gate-reply";
    if (takesValue && !value) return false;
    if (takesValue) ++i;
    if (arg == "--tls") {
      if (i + 2 >= argc) return false;
      o.cert = argv[++i];
      o.key = argv[++i];
      continue;
    }
    if (arg == "--data") o.dataDir = value;
    else if (arg == "--bind") o.bind = value;
    else if (arg == "--port") o.port = std::atoi(value);
    else if (arg == "--seed-guests") o.guests = std::atoi(value);
    else if (arg == "--seed-demo") o.seed = true;
    else if (arg == "--faults") o.faults = true;
    else if (arg == "--gate-reply") {
      const std::string spec = value;
      const size_t eq = spec.find('=');
      if (eq == std::string::npos) return false;
      o.gateReplies.emplace_back(spec.substr(0, eq), spec.substr(eq + 1));
    } else {
      return false;
    }
  }
  return true;
}

// Faulty answers on purpose, by path prefix: what a broken network or server does.
class Faults {
 public:
  void install(httplib::Server& http) {
    http.Get("/_fault/clear", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      byPath_.clear();
      res.set_content("OK", "text/plain");
    });
    http.Get("/_fault", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      for (const auto& [path, kind] : req.params) byPath_[path] = kind;
      res.set_content("OK", "text/plain");
    });
  }

  std::string kindFor(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::string kind;
    // A path ending in "$" is that path alone, else every path it begins.
    for (const auto& [prefix, k] : byPath_)
      if (!prefix.empty() && prefix.back() == '$' ? path == prefix.substr(0, prefix.size() - 1) : path.rfind(prefix, 0) == 0)
        kind = k;
    return kind;
  }

  // Answers as the fault says; false when there is no such fault.
  static bool answer(const std::string& kind, httplib::Response& res) {
    if (kind == "empty") res.set_content("", "text/plain");
    else if (kind == "notfound") {
      res.status = 404;
      res.set_content("<html><body><h1>404 File Not Found</h1></body></html>", "text/html");
    } else if (kind == "error500") {
      res.status = 500;
      res.set_content("Internal Server Error", "text/plain");
    } else if (kind == "garbage") {
      res.set_content(std::string("\x01\xfe\x00\xff\x7f\x80\x1b[2J\xc3\x28", 12), "application/octet-stream");
    } else if (kind == "huge") {
      // A well-formed news feed of 6 MB: past every limit of the terminal's, even a feed's.
      std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Riesig</title>";
      const std::string item = "<item><title>Eine Meldung von vielen</title><description>" + std::string(400, 'x') +
                               "</description></item>";
      while (feed.size() < 6 * 1024 * 1024) feed += item;
      res.set_content(feed + "</channel></rss>", "application/rss+xml");
    } else if (kind == "silent") {
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));
      res.set_content("too late", "text/plain");
    } else if (kind == "slow") {
      // The right answer, late: the terminal waits meanwhile.
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      return false;
    } else if (kind == "cut") {
      // Announces 1000 bytes, sends ten, closes the connection.
      res.set_content_provider(1000, "text/plain", [](size_t, size_t, httplib::DataSink& sink) {
        sink.write("0123456789", 10);
        return false;
      });
    } else if (kind == "redirect") {
      res.set_redirect("/quorvalis/DATA/elsewhere");
    } else {
      return false;
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> byPath_;
};

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything else: help2man makes the manual page from them.
  if (argc == 2 && std::string_view(argv[1]) == "--help") return usage(stdout);
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("zentrale %s\n", QUORVALIS_VERSION);
    return 0;
  }
  Options o;
  if (!parse(argc, argv, o)) return usage();
  zentrale::Zentrale server(o.dataDir);
  if (!server.ok()) {
    std::fprintf(stderr, "zentrale: cannot open the database in %s\n", o.dataDir.c_str());
    return 1;
  }
  std::unique_ptr<httplib::Server> listener;
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
  if (!o.cert.empty()) listener = std::make_unique<httplib::SSLServer>(o.cert.c_str(), o.key.c_str());
#endif
  if (!o.cert.empty() && (!listener || !listener->is_valid())) {
    std::fprintf(stderr, "zentrale: cannot serve HTTPS with %s and %s\n", o.cert.c_str(), o.key.c_str());
    return 1;
  }
  if (!listener) listener = std::make_unique<httplib::Server>();
  httplib::Server& http = *listener;
  // Headers and body go out in separate writes; without this each reply waits for a delayed ACK.
  http.set_tcp_nodelay(true);
  // A terminal asks one request after the other on one connection; closing it after httplib's
  // default of five requests made every fifth round trip open a new one.
  http.set_keep_alive_max_count(100000);
  Faults faults;
  if (o.faults) faults.install(http);
  http.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    const std::string kind = o.faults ? faults.kindFor(req.path) : "";
    if (Faults::answer(kind, res)) return;
    const zentrale::Reply reply = server.handle(req.target);
    res.status = reply.status;
    if (kind == "trickle") {
      // The right answer at about 640 KB a second, as over a slow line.
      auto body = std::make_shared<std::string>(reply.body);
      res.set_content_provider(body->size(), reply.contentType, [body](size_t offset, size_t, httplib::DataSink& sink) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const size_t n = std::min<size_t>(64 * 1024, body->size() - offset);
        return sink.write(body->data() + offset, n);
      });
      return;
    }
    res.set_content(reply.body, reply.contentType.c_str());
  });
  const int bound = o.port == 0 ? http.bind_to_any_port(o.bind)
                                : (http.bind_to_port(o.bind, o.port) ? o.port : -1);
  if (bound <= 0) {
    std::fprintf(stderr, "zentrale: cannot listen on %s:%d\n", o.bind.c_str(), o.port);
    return 1;
  }
  const std::string base = (o.cert.empty() ? "http://" : "https://") + o.bind + ":" + std::to_string(bound);
  if (o.seed) server.seedDemo(base);
  if (o.guests > 0) server.seedGuests(o.guests);
  for (const auto& [gate, reply] : o.gateReplies) server.setGateReply(gate, reply);
  std::printf("zentrale listening on %s\n", base.c_str());
  std::fflush(stdout);
  return http.listen_after_bind() ? 0 : 1;
}
