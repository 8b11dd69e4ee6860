// A small HTTP/1.1 server on 127.0.0.1 for tests: it answers each path it
// was given, 404 for any other, records every request, and stops when it
// goes. One connection at a time, closed after the answer.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace gm::test {

class HttpTestServer {
 public:
  struct Answer {
    int status = 200;
    std::string body;
    std::vector<std::string> headers;  // extra "Name: value" lines
  };
  struct Request {
    std::string method;
    std::string target;
    std::vector<std::string> header_lines;  // as received, without line ends

    bool HasHeader(const std::string& prefix) const {
      for (const auto& h : header_lines) {
        if (h.compare(0, prefix.size(), prefix) == 0) return true;
      }
      return false;
    }
  };

  HttpTestServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0) throw std::runtime_error("socket failed");
    int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listener_, 8) != 0) {
      close(listener_);
      throw std::runtime_error("bind/listen failed");
    }
    socklen_t len = sizeof a;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }

  ~HttpTestServer() { Stop(); }
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  void Serve(const std::string& path, Answer answer) {
    std::lock_guard lock(mutex_);
    answers_[path] = std::move(answer);
  }
  // Runs on the server's thread when a request has been read, before the
  // answer goes out (the client is waiting then).
  void OnRequest(std::function<void(const Request&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
  }
  std::vector<Request> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  void Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
    close(listener_);
  }

  // A port on 127.0.0.1 that nobody listens on (bound, then let go).
  static int UnusedPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
  }

 private:
  void Run() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int c = accept(listener_, nullptr, nullptr);
      if (c < 0) continue;
      timeval tv{5, 0};
      setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
      Handle(c);
      close(c);
    }
  }

  void Handle(int c) {
    std::string in;
    char buf[4096];
    while (in.find("\r\n\r\n") == std::string::npos && in.size() < 65536) {
      ssize_t n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) return;
      in.append(buf, static_cast<size_t>(n));
    }
    Request r;
    size_t pos = 0;
    bool first = true;
    for (;;) {
      size_t end = in.find("\r\n", pos);
      if (end == std::string::npos || end == pos) break;
      std::string line = in.substr(pos, end - pos);
      pos = end + 2;
      if (first) {
        size_t sp1 = line.find(' ');
        size_t sp2 = line.find(' ', sp1 + 1);
        r.method = line.substr(0, sp1);
        r.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
        first = false;
      } else {
        r.header_lines.push_back(line);
      }
    }
    Answer answer{404, "Not found\n", {}};
    std::function<void(const Request&)> hook;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(r);
      auto it = answers_.find(r.target);
      if (it != answers_.end()) answer = it->second;
      hook = hook_;
    }
    if (hook) hook(r);
    std::string out = "HTTP/1.1 " + std::to_string(answer.status) + " Status\r\n";
    out += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto& h : answer.headers) out += h + "\r\n";
    out += "\r\n";
    if (r.method != "HEAD") out += answer.body;
    size_t sent = 0;
    while (sent < out.size()) {
      ssize_t n = send(c, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, Answer> answers_;
  std::vector<Request> requests_;
  std::function<void(const Request&)> hook_;
};

}  // namespace gm::test
