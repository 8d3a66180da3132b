#pragma once
// HTTP over the system's WinHTTP service: HEAD for an item's size, GET
// whose body is read as a stream into a sink. The client only transports;
// what happens to the bytes is the sink's business.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace lk {

// Receives a body as it arrives.
class DownloadSink {
 public:
  virtual ~DownloadSink() = default;
  // A piece of the body. May throw to end the transfer.
  virtual void Add(const std::uint8_t* data, std::size_t size) = 0;
};

// Called after every piece: (announced length or -1, bytes so far, abort).
// Setting abort ends the transfer.
using HttpProgress = std::function<void(std::int64_t content_length, std::int64_t received, bool& abort)>;

struct HttpHeadResult {
  int status = 0;
  std::int64_t content_length = -1;  // -1: no Content-Length header
};

struct HttpBodyResult {
  std::int64_t received = 0;
  // The server ended the body normally (no read error, no abort).
  bool ended_normally = false;
  bool aborted = false;
  // Ended normally and, where a length was announced, exactly that many
  // bytes came.
  bool complete = false;
};

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// Raised when a request gets no response (refused connection, bad address,
// broken transfer, no byte within the idle timeout); what() is the
// system's error text.
class HttpError : public Error {
 public:
  HttpError(const std::string& text, unsigned long code) : Error(text), code_(code) {}
  unsigned long code() const { return code_; }
  // No byte came within the client's idle timeout.
  bool TimedOut() const;
  // The client was aborted.
  bool Cancelled() const;

 private:
  unsigned long code_;
};

struct HttpOptions {
  // Connecting, and every wait for response bytes, ends with a timed-out
  // HttpError after this long without progress, so a server that accepts
  // and never answers cannot hold a caller for ever.
  std::chrono::milliseconds idle_timeout{30000};
};

class HttpClient {
 public:
  // The system's proxy and redirect settings. One client keeps its
  // connections alive between requests to the same server.
  explicit HttpClient(HttpOptions options = {});
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  HttpHeadResult Head(const std::string& url);

  // A GET whose headers have arrived; the body is still on the wire.
  class Response {
   public:
    Response(Response&&) noexcept;
    Response& operator=(Response&&) = delete;
    ~Response();

    int status() const { return status_; }
    // -1 when the response announces no length.
    std::int64_t content_length() const { return content_length_; }
    // A response header's value ("ETag", "Last-Modified", "Content-Range");
    // empty when absent.
    std::string Header(const std::string& name) const;

    // Reads the body into sink, calling progress after every piece. A read
    // error after the first byte is an HttpError; a short body is reported
    // by complete == false.
    HttpBodyResult ReadBody(DownloadSink& sink, const HttpProgress& progress);

    // The request's state, shared with the system's completion callback;
    // defined in the implementation.
    struct Request;

   private:
    friend class HttpClient;
    Response(HttpClient& client, std::shared_ptr<Request> request, int status, std::int64_t length);
    HttpClient* client_;
    std::shared_ptr<Request> request_;
    int status_;
    std::int64_t content_length_;
  };

  // Sends the GET with the extra headers and waits for the response
  // headers. Throws HttpError when no response comes.
  Response Get(const std::string& url, const HttpHeaders& extra_headers);

  // Ends the current request from any thread: a transfer blocked in a read
  // returns as aborted, later requests of this client fail at once.
  void Abort();
  bool Aborted() const { return aborted_.load(); }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::atomic<bool> aborted_{false};
};

}  // namespace lk
