// Entry point of bessel-recurrence-web: the laboratory served to a browser.
#include <unistd.h>

#include <csignal>
#include <string>
#include <string_view>

#include "cli/messages.hpp"
#include "cli/options.hpp"
#include "cli/standard_output.hpp"
#include "numeric/allocation.hpp"
#include "numeric/mpfr_number.hpp"
#include "web/server.hpp"

namespace {

constexpr std::string_view kProgram = "bessel-recurrence-web";
constexpr std::string_view kDefaultListen = "127.0.0.1:8080";

constexpr const char* kHelp = R"(Usage: bessel-recurrence-web [OPTION]...

Serves the laboratory of bessel-recurrence-lab to web browsers: a page with its controls,
chart, summary and table, and its outputs over HTTP, so that a class needs nothing but a
browser. Every number is the one bessel-recurrence-lab prints.

Options (long options may be abbreviated; -- ends them):
      --listen ADDRESS:PORT  where to take connections (default 127.0.0.1:8080, this
                          machine only); 0.0.0.0:8080 or [::]:8080 serves a network;
                          port 0 takes one the system picks
      --help              display this help and exit
      --version           output version information and exit

Once it listens, it prints the address to open on standard output. SIGINT (Ctrl-C) or
SIGTERM ends it: it takes no more connections, lets the answers in flight finish for
up to 10 seconds, and exits with status 0; a second signal ends it at once.

HTTP (GET or HEAD; anything else is answered 405):
  /                   the page; its own parameters are those of /api/run
  /api/run?function=J&x=1&orders=30&formats=binary32,binary64&arithmetic=binary128&seeds=rounded
                      the bytes of bessel-recurrence-lab --json with those options, each
                      parameter optional; application/json
  /api/run.csv?...    the bytes of --csv, as a download; text/csv
  /api/summary?...    the summary that ends the lab's table at 80 columns; text/plain
  /api/check?function=J&x=1.3&arithmetic=binary32&values=0x1.3d7beap-1%0A...
                      a check of a student's own values (one a line; column= as
                      --column), as bessel-recurrence-lab --check FILE --json gives it;
                      application/json
  /api/check.csv?...  the same as --check FILE --csv; text/csv
A value the lab refuses is answered 400 with {"error": "<the lab's message>"}. Answers
carry an entity tag and may be cached for a day; identical requests are answered from a
cache in memory (64 MiB, least recently used out).

Bounds: a request's line and headers 8 KiB (431 beyond); a request read within 10 s of
the connection's start or of the last answer; an answer written within 60 s; 512
connections. Experiments of up to 2000 orders run on one worker per processor behind a
queue of 64, larger ones on one worker at a lower priority behind a queue of 2; a full
queue, or an answer not computed within 30 s (its computation is then stopped), is
answered 503 with Retry-After. Nothing is written to disk.

Exit status:
  0   stopped by SIGINT or SIGTERM
  1   the address could not be listened on, or standard output could not be written
  2   a usage error

)";

enum Code : int { kListen = 256, kHelpCode, kVersion };

constexpr option kOptions[] = {
    {"listen", required_argument, nullptr, kListen},
    {"help", no_argument, nullptr, kHelpCode},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// Memory ran out in GMP, FLINT or operator new: say so and end, allocating nothing.
void EndForLackOfMemory() {
  static constexpr char kLine[] = "bessel-recurrence-web: memory ran out\n";
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kLine, sizeof kLine - 1);
  _exit(1);
}

// Whether the address is every address of this machine.
bool Wildcard(const std::string& host) {
  return host == "0.0.0.0" || host == "::";
}

// What to open: for a wildcard address, this machine's name, which the class can reach.
std::string UrlFor(const std::string& host, unsigned short port) {
  std::string shown = host;
  if (Wildcard(host)) {
    char name[256] = {};
    shown = gethostname(name, sizeof name - 1) == 0 && name[0] != '\0' ? name : "localhost";
  } else if (host.find(':') != std::string::npos) {
    shown = "[" + host + "]";
  }
  return "http://" + shown + ":" + std::to_string(port) + "/";
}

int Main(int argc, char* argv[]) {
  WidenMpfrExponents();
  OnAllocationFailure(EndForLackOfMemory);
  ListenAddress address;
  ReadListenAddress(kDefaultListen, address);
  const ReadCommandLine line = ReadOptions(argc, argv, kOptions);
  for (const ReadOption& option : line.options) {
    switch (option.code) {
      case kHelpCode:
        Print(kHelp + ManualText(kProgram));
        return Finished(kProgram, kExitSuccess);
      case kVersion:
        Print(VersionText(kProgram));
        return Finished(kProgram, kExitSuccess);
      case kListen:
        if (const std::string complaint = ReadListenAddress(option.value, address);
            !complaint.empty()) {
          return UsageError(kProgram, complaint);
        }
        break;
      default:
        return UsageError(kProgram, option.value);
    }
  }
  if (!line.operands.empty()) {
    return UsageError(kProgram, "extra operand '" + Printable(line.operands.front()) + "'");
  }
  std::signal(SIGPIPE, SIG_IGN);  // a closed connection is an error on its write, not an end
  // Should the address not be printed, the server serves all the same, and says so as it ends.
  std::string complaint;
  const int status = Serve(
      address,
      [&](const std::string& host, unsigned short port) {
        Print(std::string(kProgram) + ": serving the laboratory at " + UrlFor(host, port) +
              (Wildcard(host)
                   ? " (port " + std::to_string(port) + " on every address of this machine)"
                   : "") +
              "\nOpen that address in a web browser; Ctrl-C or SIGTERM stops the server.\n");
      },
      complaint);
  if (status != kExitSuccess) return Failure(kProgram, status, complaint);
  return Finished(kProgram, kExitSuccess);
}

}  // namespace

int main(int argc, char* argv[]) {
  return Guarded(kProgram, [&] { return Main(argc, argv); });
}
