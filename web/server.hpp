// The laboratory served over HTTP/1.1 (Boost.Beast over Boost.Asio): the page and its assets,
// and the lab's outputs, each request bounded in size, time and work; load beyond the server's
// bounds is shed with 503 and Retry-After rather than queued without end.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Where to listen: a numeric IPv4 or IPv6 address and a port ("127.0.0.1:8080",
// "[::]:8080"; port 0: one the system picks).
struct ListenAddress {
  std::string host;
  unsigned short port = 0;
};

// "ADDR:PORT" read; "" or the complaint.
std::string ReadListenAddress(std::string_view text, ListenAddress& address);

// Serves at `address` until SIGINT or SIGTERM: then it takes no more connections, lets the
// requests in flight finish (at most 10 seconds), and returns 0. `ready` is given the address
// bound (with the port the system picked) once connections are taken. On a failure to listen,
// returns 1 with `complaint` set.
int Serve(const ListenAddress& address,
          const std::function<void(const std::string& host, unsigned short port)>& ready,
          std::string& complaint);
