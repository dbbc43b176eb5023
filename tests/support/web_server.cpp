#include "tests/support/web_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "tests/support/child.hpp"

extern "C" char** environ;

namespace testing_support {

WebServerProcess::WebServerProcess(const std::string& program) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  std::vector<std::string> words = {program, "--listen", "127.0.0.1:0"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  output_ = out[0];
  std::string said;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (pid_ > 0 && said.find("/\n") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{output_, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char chunk[256];
    const ssize_t count = read(output_, chunk, sizeof chunk);
    if (count <= 0) break;
    said.append(chunk, static_cast<size_t>(count));
  }
  first_line_ = said.substr(0, said.find('\n'));
  const size_t colon = first_line_.rfind(':');
  if (colon != std::string::npos) port_ = std::atoi(first_line_.c_str() + colon + 1);
}

WebServerProcess::~WebServerProcess() {
  if (pid_ > 0 && !ended_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
}

int WebServerProcess::Stop(int signal, std::chrono::milliseconds limit) {
  kill(pid_, signal);
  const Ending ending = WaitWithDeadline(pid_, limit);
  ended_ = !ending.timed_out;
  return ending.exit_status;
}

int ConnectLoopback(int port) {
  const int socket_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_fd < 0) return -1;
  const int on = 1;
  setsockopt(socket_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(socket_fd);
    return -1;
  }
  return socket_fd;
}

}  // namespace testing_support
