#include "web/server.hpp"

// Boost.Asio 1.74 uses std::exchange without including its header: <utility> goes first.
// clang-format off
#include <utility>
// clang-format on

#include <algorithm>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <thread>

#include "cli/messages.hpp"
#include "cli/version.hpp"
#include "experiment/api.hpp"
#include "numeric/stop.hpp"
#include "web/assets.hpp"
#include "web/compute_lane.hpp"
#include "web/response_cache.hpp"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// A request's line and headers together; a GET or HEAD has no body.
constexpr size_t kMaxHeaderBytes = 8 * 1024;
// From the connection's start, or the end of its last answer, to the whole next request read:
// a client that sends slowly or not at all is dropped then.
constexpr auto kReadTimeout = std::chrono::seconds(10);
// For an answer to be written: the largest (100 MB for 100,000 orders in seven formats) leaves
// time for a slow network.
constexpr auto kWriteTimeout = std::chrono::seconds(60);
// From a request read to its answer computed; past it, 503.
constexpr auto kComputeTimeout = std::chrono::seconds(30);
// After SIGINT or SIGTERM, for the requests in flight to finish.
constexpr auto kDrainTimeout = std::chrono::seconds(10);
constexpr size_t kMaxConnections = 512;
// Class-sized experiments run on one worker per processor, behind a queue a class fills at
// most; heavy ones (more orders than kHeavyOrders) on a worker of their own, so that they never
// hold the class's up.
constexpr long kHeavyOrders = 2000;
constexpr size_t kLightQueue = 64;
constexpr size_t kHeavyWorkers = 1;
constexpr size_t kHeavyQueue = 2;
constexpr int kHeavyNice = 10;  // and at a lower priority: the class's go first
// What the answers waiting to be written may hold at once, the cache's aside.
constexpr size_t kMaxHeldBytes = size_t{512} << 20;
constexpr size_t kCacheBytes = size_t{64} << 20;
constexpr int kRetryAfterSeconds = 2;

// The answers are the same for the same request and version: caches may keep them a day.
constexpr std::string_view kCacheable = "public, max-age=86400";
constexpr std::string_view kSecurityPolicy = "default-src 'self'; frame-ancestors 'none'";

// FNV-1a, 64 bits, in hexadecimal: an entity tag that every replica of the same version gives
// the same answer.
std::string Fingerprint(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : text) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (int shift = 60; shift >= 0; shift -= 4) out += kHex[(hash >> shift) & 0xf];
  return out + "\"";
}

// What the cache keeps an answer under: the output and the experiment's parameters.
std::string CacheKey(ApiOutput output, const Experiment& experiment) {
  return std::to_string(static_cast<int>(output)) + "?" + CanonicalQuery(experiment);
}

// The assets as answers, made once: their bodies shared by every answer, their tags their
// fingerprints.
struct AssetAnswer {
  const Asset* asset;
  std::shared_ptr<const std::string> body;
  std::string etag;
};

// The asset served at `path`; nullptr when there is none.
const AssetAnswer* AssetAnswerAt(std::string_view path) {
  static const std::vector<AssetAnswer> answers = [] {
    std::vector<AssetAnswer> made;
    for (const Asset& asset : PageAssets()) {
      made.push_back(
          {&asset, std::make_shared<const std::string>(asset.bytes), Fingerprint(asset.bytes)});
    }
    return made;
  }();
  const auto found = std::ranges::find(
      answers, path, [](const AssetAnswer& answer) { return answer.asset->path; });
  return found == answers.end() ? nullptr : &*found;
}

class Server;

// One connection: requests read one at a time, each answered before the next is read.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(Server& server, tcp::socket socket) : server_(server), stream_(std::move(socket)) {}
  void Start() { ReadRequest(); }
  // Ends the connection now if it waits for a request; else after the answer in flight.
  void Drain();

 private:
  void ReadRequest();
  void OnRequest(beast::error_code error);
  void Answer(const http::request<http::empty_body>& request);
  void AnswerApi(const http::request<http::empty_body>& request, std::string_view query,
                 ApiOutput output);
  void Send(http::status status, std::string_view content_type,
            std::shared_ptr<const std::string> body, std::string_view etag = {},
            std::string_view cache_control = "no-store", std::string_view extra_name = {},
            std::string_view extra_value = {});
  void SendError(http::status status, std::string_view complaint, std::string_view extra_name = {},
                 std::string_view extra_value = {});
  void SendBusy(std::string_view why);
  void OnWritten(beast::error_code error);
  void Close();

  Server& server_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_{2 * kMaxHeaderBytes};
  std::optional<http::request_parser<http::empty_body>> parser_;
  bool reading_ = false;
  bool head_ = false;
  bool keep_alive_ = false;
  unsigned version_ = 11;
  std::shared_ptr<const std::string> body_;  // held while it is written
  http::response<http::span_body<const char>> response_;
  std::shared_ptr<asio::steady_timer> compute_timer_;
  std::shared_ptr<std::stop_source> compute_stop_;
};

class Server {
 public:
  explicit Server(asio::io_context& io)
      : io_(io),
        acceptor_(io),
        signals_(io, SIGINT, SIGTERM),
        drain_timer_(io),
        light_(std::max(2u, std::thread::hardware_concurrency()), kLightQueue),
        heavy_(kHeavyWorkers, kHeavyQueue, kHeavyNice),
        cache_(kCacheBytes) {}

  bool Listen(const tcp::endpoint& endpoint, std::string& complaint) {
    beast::error_code error;
    acceptor_.open(endpoint.protocol(), error);
    if (!error) acceptor_.set_option(asio::socket_base::reuse_address(true), error);
    if (!error && endpoint.address().is_v6()) {
      acceptor_.set_option(asio::ip::v6_only(false), error);  // [::] serves IPv4 too
    }
    if (!error) acceptor_.bind(endpoint, error);
    if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
      complaint = "cannot listen on " + endpoint.address().to_string() + " port " +
                  std::to_string(endpoint.port()) + ": " + error.message();
      return false;
    }
    signals_.async_wait([this](beast::error_code, int) { BeginDrain(); });
    Accept();
    return true;
  }

  tcp::endpoint Bound() const { return acceptor_.local_endpoint(); }

  asio::io_context& io() { return io_; }
  bool draining() const { return draining_; }
  ResponseCache& cache() { return cache_; }
  size_t& held_bytes() { return held_bytes_; }
  ComputeLane& LaneFor(const Experiment& experiment) {
    return experiment.orders > kHeavyOrders ? heavy_ : light_;
  }
  void Forget(Session* session) {
    sessions_.remove_if([session](const std::weak_ptr<Session>& weak) {
      const auto held = weak.lock();
      return !held || held.get() == session;
    });
    if (draining_ && sessions_.empty()) Finish();
  }

 private:
  void Accept() {
    acceptor_.async_accept([this](beast::error_code error, tcp::socket socket) {
      if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
      if (!error) Admit(std::move(socket));
      Accept();
    });
  }

  // A connection past the limit is told so, as well as a full send buffer lets, and closed.
  void Admit(tcp::socket socket) {
    std::erase_if(sessions_, [](const std::weak_ptr<Session>& weak) { return weak.expired(); });
    if (sessions_.size() >= kMaxConnections) {
      static const std::string busy =
          "HTTP/1.1 503 Service Unavailable\r\nRetry-After: " + std::to_string(kRetryAfterSeconds) +
          "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      beast::error_code ignored;
      socket.non_blocking(true, ignored);
      socket.write_some(asio::buffer(busy), ignored);
      socket.shutdown(tcp::socket::shutdown_both, ignored);
      return;
    }
    auto session = std::make_shared<Session>(*this, std::move(socket));
    sessions_.push_back(session);
    session->Start();
  }

  void BeginDrain() {
    draining_ = true;
    beast::error_code ignored;
    acceptor_.close(ignored);
    std::erase_if(sessions_, [](const std::weak_ptr<Session>& weak) { return weak.expired(); });
    for (const std::weak_ptr<Session>& weak : std::list(sessions_)) {
      if (const auto session = weak.lock()) session->Drain();
    }
    if (sessions_.empty()) return Finish();
    signals_.async_wait([this](beast::error_code error, int) {
      if (!error) io_.stop();  // a second signal gives the requests in flight up
    });
    drain_timer_.expires_after(kDrainTimeout);
    drain_timer_.async_wait([this](beast::error_code error) {
      if (!error) io_.stop();  // the requests still in flight are given up
    });
  }

  // Nothing is left to wait for: io_context::run returns.
  void Finish() {
    drain_timer_.cancel();
    signals_.cancel();
  }

  asio::io_context& io_;
  tcp::acceptor acceptor_;
  asio::signal_set signals_;
  asio::steady_timer drain_timer_;
  std::list<std::weak_ptr<Session>> sessions_;
  bool draining_ = false;
  ComputeLane light_;
  ComputeLane heavy_;
  ResponseCache cache_;
  size_t held_bytes_ = 0;
};

void Session::Drain() {
  keep_alive_ = false;
  if (reading_) Close();
}

void Session::Close() {
  beast::error_code ignored;
  stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
  stream_.close();
  server_.Forget(this);
}

void Session::ReadRequest() {
  if (server_.draining()) return Close();
  parser_.emplace();
  parser_->header_limit(kMaxHeaderBytes);
  parser_->body_limit(0);
  reading_ = true;
  stream_.expires_after(kReadTimeout);
  http::async_read(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code error, size_t) { self->OnRequest(error); });
}

void Session::OnRequest(beast::error_code error) {
  reading_ = false;
  keep_alive_ = false;
  version_ = 11;
  head_ = false;
  if (error == http::error::end_of_stream || error == beast::error::timeout ||
      error == asio::error::operation_aborted || error == asio::error::connection_reset ||
      error == asio::error::eof) {
    return Close();
  }
  if (error == http::error::header_limit) {
    return SendError(http::status::request_header_fields_too_large,
                     "the request's line and headers are limited to 8192 bytes");
  }
  if (error == http::error::body_limit) {
    return SendError(http::status::payload_too_large, "a request has no body here");
  }
  if (error) return SendError(http::status::bad_request, "a malformed request");
  const http::request<http::empty_body>& request = parser_->get();
  keep_alive_ = request.keep_alive() && !server_.draining();
  version_ = request.version();
  head_ = request.method() == http::verb::head;
  Answer(request);
}

void Session::Answer(const http::request<http::empty_body>& request) {
  if (request.method() != http::verb::get && request.method() != http::verb::head) {
    return SendError(http::status::method_not_allowed, "only GET and HEAD are answered here",
                     "Allow", "GET, HEAD");
  }
  const std::string_view target = request.target();
  const size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  const std::string_view query =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  if (const std::optional<ApiOutput> output = ApiOutputAt(path)) {
    return AnswerApi(request, query, *output);
  }
  const AssetAnswer* answer = AssetAnswerAt(path);
  if (answer == nullptr) {
    return SendError(http::status::not_found, "nothing is served at '" + Printable(path) + "'");
  }
  if (request[http::field::if_none_match] == answer->etag) {
    return Send(http::status::not_modified, {}, nullptr, answer->etag, "no-cache");
  }
  Send(http::status::ok, answer->asset->content_type, answer->body, answer->etag, "no-cache");
}

void Session::AnswerApi(const http::request<http::empty_body>& request, std::string_view query,
                        ApiOutput output) {
  Experiment experiment;
  std::vector<GivenValue> given;  // a check's
  std::string values_key;
  if (const std::string complaint = IsCheck(output)
                                        ? ReadCheckQuery(query, experiment, given, values_key)
                                        : ReadQuery(query, experiment);
      !complaint.empty()) {
    return SendError(http::status::bad_request, complaint);
  }
  const std::string key = CacheKey(output, experiment) + values_key;
  const std::string etag = Fingerprint(std::string(kVersion) + " " + key);
  if (request[http::field::if_none_match] == etag) {
    return Send(http::status::not_modified, {}, nullptr, etag, kCacheable);
  }
  if (const ApiAnswer* cached = server_.cache().Find(key)) {
    return Send(http::status::ok, cached->content_type, cached->body, etag, kCacheable);
  }
  auto timer = std::make_shared<asio::steady_timer>(server_.io());
  // Asked once the answer is no longer wanted: its time is up, or the server ends.
  auto stop = std::make_shared<std::stop_source>();
  // Runs on a worker; the session goes back to the network's thread with the answer, and is
  // touched nowhere else (what the job holds is moved along, never dropped on the worker).
  auto job = [self = shared_from_this(), experiment, given = std::move(given), output, key, etag,
              timer, token = stop->get_token()]() mutable {
    std::shared_ptr<ApiAnswer> answer, summary;
    try {
      summary = std::make_shared<ApiAnswer>();
      answer = std::make_shared<ApiAnswer>(IsCheck(output)
                                               ? RunCheckApi(experiment, given, output, token)
                                               : RunApi(experiment, output, summary.get(), token));
    } catch (const Stopped&) {
      answer.reset();  // answered with 503 already, or the server ends
    }
    asio::io_context& io = self->server_.io();
    asio::post(io, [self = std::move(self), answer = std::move(answer),
                    summary = std::move(summary), experiment = std::move(experiment),
                    key = std::move(key), etag = std::move(etag), timer = std::move(timer)] {
      if (answer && answer->status == 200) {
        self->server_.cache().Keep(key, *answer);
        if (summary->body) {  // a run's, not a check's
          self->server_.cache().Keep(CacheKey(ApiOutput::kSummary, experiment), *summary);
        }
      }
      if (!answer || self->compute_timer_ != timer) return;  // answered with 503 already
      self->compute_timer_.reset();
      timer->cancel();
      self->Send(static_cast<http::status>(answer->status), answer->content_type, answer->body,
                 etag, answer->status == 200 ? kCacheable : "no-store");
    });
  };
  compute_timer_ = timer;
  compute_stop_ = stop;
  if (server_.held_bytes() > kMaxHeldBytes || !server_.LaneFor(experiment).TryPost(job)) {
    compute_timer_.reset();
    return SendBusy("the server is busy");
  }
  compute_timer_->expires_after(kComputeTimeout);
  compute_timer_->async_wait(
      [self = shared_from_this(), timer = compute_timer_](beast::error_code error) {
        if (error || self->compute_timer_ != timer) return;
        self->compute_timer_.reset();
        self->compute_stop_->request_stop();  // the worker is free for the next
        self->SendBusy("the experiment took too long (ask for fewer orders)");
      });
}

void Session::SendBusy(std::string_view why) {
  const std::string seconds = std::to_string(kRetryAfterSeconds);
  SendError(http::status::service_unavailable,
            std::string(why) + "; try again in " + seconds + " seconds", "Retry-After", seconds);
}

void Session::SendError(http::status status, std::string_view complaint,
                        std::string_view extra_name, std::string_view extra_value) {
  Send(status, "application/json", ErrorAnswer(static_cast<int>(status), complaint).body, {},
       "no-store", extra_name, extra_value);
}

void Session::Send(http::status status, std::string_view content_type,
                   std::shared_ptr<const std::string> body, std::string_view etag,
                   std::string_view cache_control, std::string_view extra_name,
                   std::string_view extra_value) {
  if (server_.draining()) keep_alive_ = false;
  body_ = std::move(body);
  const size_t size = body_ ? body_->size() : 0;
  server_.held_bytes() += size;
  response_ = {};
  response_.version(version_);
  response_.result(status);
  response_.set(http::field::server, "bessel-recurrence-web/" + std::string(kVersion));
  response_.set("Content-Security-Policy", kSecurityPolicy);
  response_.set("X-Content-Type-Options", "nosniff");
  response_.set("Referrer-Policy", "no-referrer");
  response_.set(http::field::cache_control, cache_control);
  if (!content_type.empty()) response_.set(http::field::content_type, content_type);
  if (!etag.empty()) response_.set(http::field::etag, etag);
  if (!extra_name.empty()) response_.set(extra_name, extra_value);
  if (content_type.starts_with("text/csv")) {
    response_.set(http::field::content_disposition,
                  "attachment; filename=\"bessel-recurrence-lab.csv\"");
  }
  response_.keep_alive(keep_alive_);
  // The body stays empty, as the reset left it, for a 304, a HEAD and an answer without one.
  if (status != http::status::not_modified) {
    response_.content_length(size);
    if (!head_ && body_) response_.body() = {body_->data(), body_->size()};
  }
  stream_.expires_after(kWriteTimeout);
  http::async_write(stream_, response_,
                    [self = shared_from_this(), size](beast::error_code error, size_t) {
                      self->server_.held_bytes() -= size;
                      self->OnWritten(error);
                    });
}

void Session::OnWritten(beast::error_code error) {
  body_.reset();
  if (error || !keep_alive_) return Close();
  ReadRequest();
}

}  // namespace

std::string ReadListenAddress(std::string_view text, ListenAddress& address) {
  const std::string complaint =
      "--listen needs ADDRESS:PORT, a numeric address and a port from 0 to 65535 "
      "(127.0.0.1:8080, 0.0.0.0:8080, [::]:8080), not '" +
      Printable(text) + "'";
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return complaint;
  std::string_view host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    if (host.find(':') == std::string_view::npos) return complaint;
  } else if (host.find(':') != std::string_view::npos) {
    return complaint;  // an IPv6 address goes in brackets
  }
  beast::error_code error;
  asio::ip::make_address(std::string(host), error);
  const std::string_view digits = text.substr(colon + 1);
  if (error || digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return complaint;
  }
  const long port = std::stol(std::string(digits));
  if (port > 65535) return complaint;
  address.host = host;
  address.port = static_cast<unsigned short>(port);
  return "";
}

int Serve(const ListenAddress& address,
          const std::function<void(const std::string& host, unsigned short port)>& ready,
          std::string& complaint) {
  asio::io_context io(1);
  Server server(io);
  const tcp::endpoint endpoint(asio::ip::make_address(address.host), address.port);
  if (!server.Listen(endpoint, complaint)) return kExitFailure;
  ready(address.host, server.Bound().port());
  io.run();
  return kExitSuccess;
}
