// bessel-recurrence-web started for the tests and the benchmark: on 127.0.0.1, port 0, its port
// read from the line it prints; and connections to it over loopback.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace testing_support {

// The server's process, SIGKILLed and waited for at the end unless Stop ended it.
class WebServerProcess {
 public:
  explicit WebServerProcess(const std::string& program);
  ~WebServerProcess();
  WebServerProcess(const WebServerProcess&) = delete;
  WebServerProcess& operator=(const WebServerProcess&) = delete;

  int port() const { return port_; }  // 0 when it printed no address within 20 s
  pid_t pid() const { return pid_; }
  const std::string& first_line() const { return first_line_; }
  // Sends `signal` and waits for the end within `limit`: its exit status, or -1.
  int Stop(int signal, std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  int output_ = -1;  // kept open: the server never finds its standard output gone
  int port_ = 0;
  bool ended_ = false;
  std::string first_line_;
};

// A connection to 127.0.0.1:port, its writes never raising SIGPIPE; -1 when none could be made.
int ConnectLoopback(int port);

}  // namespace testing_support
