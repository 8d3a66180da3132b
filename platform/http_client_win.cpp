#include "platform/http_client.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <limits>

#include "core/scope_exit.h"
#include "platform/handles.h"
#include "platform/text.h"

// WinHTTP runs in asynchronous mode: every operation is started and then
// waited for together with the client's abort event. Closing a handle does
// not end a synchronous call that waits for a stalled server under Wine
// (verified: a server that accepts and never answers held the caller for
// its whole 20 s), so a synchronous client could not end a transfer
// promptly. With completions delivered to a callback, an abort returns at
// once; the request's state, including the buffer a late read may still
// fill, lives until WinHTTP reports the handle closed.

namespace lk {
namespace {

struct CloseInternetFn {
  void operator()(HINTERNET h) const { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = UniqueAny<HINTERNET, CloseInternetFn>;

// WinHTTP's own codes (12xxx) have their texts in winhttp.dll, not in the
// system table.
[[noreturn]] void Throw(DWORD code) {
  throw HttpError(SystemErrorText(code, GetModuleHandleW(L"winhttp.dll")), code);
}
[[noreturn]] void ThrowTimedOut() { Throw(ERROR_WINHTTP_TIMEOUT); }
[[noreturn]] void ThrowLastHttpError() { Throw(GetLastError()); }
[[noreturn]] void ThrowCancelled() { Throw(ERROR_WINHTTP_OPERATION_CANCELLED); }

// The decimal Content-Length; -1 when absent or not a plain number (a
// 64-bit value: items above 4 GiB must not wrap).
std::int64_t QueryContentLength(HINTERNET request) {
  wchar_t buf[64];
  DWORD size = sizeof(buf);
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, buf, &size,
                           WINHTTP_NO_HEADER_INDEX))
    return -1;
  const std::size_t chars = size / sizeof(wchar_t);
  if (chars == 0) return -1;
  std::int64_t value = 0;
  for (std::size_t i = 0; i < chars; ++i) {
    if (buf[i] < L'0' || buf[i] > L'9') return -1;
    if (value > (std::numeric_limits<std::int64_t>::max() - 9) / 10) return -1;
    value = value * 10 + (buf[i] - L'0');
  }
  return value;
}

int QueryStatus(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    ThrowLastHttpError();
  return static_cast<int>(status);
}

std::wstring HeaderBlock(const HttpHeaders& headers) {
  std::string block;
  for (const auto& [name, value] : headers) block += name + ": " + value + "\r\n";
  return Wide(block);
}

constexpr std::size_t kPieceSize = 64 * 1024;

}  // namespace

// One request: its handles and what its completions reported. Shared by the
// caller and, through the handle's context value, by WinHTTP's callback
// until the request handle is reported closed.
struct HttpClient::Response::Request {
  UniqueHandle completed{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  // Written by the callback before it signals `completed`; read by the
  // waiting caller after the wait (the event orders the accesses).
  DWORD status = 0;
  DWORD bytes = 0;
  DWORD error = 0;
  std::vector<std::uint8_t> buffer;

  std::mutex mutex;  // guards closing, which Abort may do from another thread
  HINTERNET connect = nullptr;
  HINTERNET request = nullptr;
  bool closed = false;
  DWORD_PTR context = 0;

  ~Request() {
    // Only reached when the handles were closed (or never opened).
    if (!closed && connect) WinHttpCloseHandle(connect);
  }

  void Close() {
    std::lock_guard lock(mutex);
    if (closed) return;
    closed = true;
    // The request handle's closing notice releases the callback's share.
    if (request) WinHttpCloseHandle(request);
    if (connect) WinHttpCloseHandle(connect);
  }
};

namespace {

using RequestPtr = std::shared_ptr<HttpClient::Response::Request>;

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD length) {
  auto* holder = reinterpret_cast<RequestPtr*>(context);
  if (!holder) return;  // the connection handle, or before the context was set
  if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    delete holder;
    return;
  }
  auto& r = **holder;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      r.bytes = info ? *static_cast<DWORD*>(info) : 0;
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      r.bytes = length;
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      r.error = info ? static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError : ERROR_WINHTTP_INTERNAL_ERROR;
      if (r.error == 0) r.error = ERROR_WINHTTP_INTERNAL_ERROR;
      break;
    default:
      return;  // not a completion
  }
  r.status = status;
  SetEvent(r.completed.get());
}

}  // namespace

struct HttpClient::Impl {
  HttpOptions options;
  UniqueInternet session;
  UniqueHandle abort_event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::mutex mutex;
  RequestPtr current;

  void SetCurrent(RequestPtr request) {
    std::lock_guard lock(mutex);
    current = std::move(request);
  }
  void ClearCurrent(const RequestPtr& request) {
    std::lock_guard lock(mutex);
    if (current == request) current.reset();
  }

  // Opens a request for url with the callback's share of its state.
  RequestPtr Open(const wchar_t* verb, const std::string& url) {
    const std::wstring wurl = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wurl.c_str(), static_cast<DWORD>(wurl.size()), 0, &parts)) ThrowLastHttpError();
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    auto r = std::make_shared<Response::Request>();
    if (!r->completed) ThrowLastHttpError();
    r->connect = WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0);
    if (!r->connect) ThrowLastHttpError();
    const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    r->request = WinHttpOpenRequest(r->connect, verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
    if (!r->request) {
      const DWORD code = GetLastError();
      r->Close();
      Throw(code);
    }
    auto* holder = new RequestPtr(r);
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(holder);
    if (!WinHttpSetOption(r->request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
      const DWORD code = GetLastError();
      delete holder;
      r->Close();
      Throw(code);
    }
    // WinHttpSendRequest sets the context value again: the same one.
    r->context = context;
    return r;
  }

  // Waits for the operation just started on r. False when the client was
  // aborted first; an error completion throws, and so does an operation
  // that has not completed within the idle timeout (the request is closed
  // then, which ends what WinHTTP still does for it).
  bool Wait(Response::Request& r) {
    HANDLE handles[2] = {r.completed.get(), abort_event.get()};
    const auto timeout = options.idle_timeout.count();
    const DWORD w = WaitForMultipleObjects(2, handles, FALSE,
                                           timeout <= 0 ? INFINITE : static_cast<DWORD>(timeout));
    if (w == WAIT_TIMEOUT) {
      r.Close();
      ThrowTimedOut();
    }
    if (w != WAIT_OBJECT_0) return false;
    if (r.status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) Throw(r.error);
    return true;
  }

  // Sends the request and waits for the response headers.
  void SendAndReceive(const RequestPtr& r, const std::wstring& headers) {
    if (!WinHttpSendRequest(r->request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0,
                            r->context))
      ThrowLastHttpError();
    if (!Wait(*r)) ThrowCancelled();
    if (!WinHttpReceiveResponse(r->request, nullptr)) ThrowLastHttpError();
    if (!Wait(*r)) ThrowCancelled();
  }
};

// Wine's WinHTTP reports its own receive timeout with the socket's code,
// WSAETIMEDOUT (10060).
bool HttpError::TimedOut() const { return code_ == ERROR_WINHTTP_TIMEOUT || code_ == 10060; }
bool HttpError::Cancelled() const { return code_ == ERROR_WINHTTP_OPERATION_CANCELLED; }

HttpClient::HttpClient(HttpOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = options;
  if (!impl_->abort_event) ThrowLastHttpError();
  impl_->session.reset(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
  if (!impl_->session) ThrowLastHttpError();
  // Older WinHTTP (Windows 7, Wine) offers only TLS 1.0 and 1.1 unless told
  // otherwise, which current servers refuse. TLS 1.3 is asked for where the
  // system knows it.
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  if (!WinHttpSetOption(impl_->session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                        sizeof(protocols))) {
    protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(impl_->session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
  }
  // The system's own waits are a second bound, later than ours: ours ends
  // a stalled operation with a timeout the caller can tell from a cut
  // connection (Wine ends a read that timed out as if the body had ended).
  if (options.idle_timeout.count() > 0) {
    const int t = static_cast<int>(std::min<std::int64_t>(options.idle_timeout.count(), INT32_MAX / 2) * 2);
    WinHttpSetTimeouts(impl_->session.get(), t, t, t, t);
  }
  if (WinHttpSetStatusCallback(impl_->session.get(), &OnStatus,
                               WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                               0) == WINHTTP_INVALID_STATUS_CALLBACK)
    ThrowLastHttpError();
}

HttpClient::~HttpClient() = default;

HttpHeadResult HttpClient::Head(const std::string& url) {
  if (aborted_.load()) ThrowCancelled();
  RequestPtr r = impl_->Open(L"HEAD", url);
  impl_->SetCurrent(r);
  ScopeExit done([&] {
    impl_->ClearCurrent(r);
    r->Close();
  });
  if (aborted_.load()) ThrowCancelled();
  impl_->SendAndReceive(r, std::wstring());
  HttpHeadResult result;
  result.status = QueryStatus(r->request);
  result.content_length = QueryContentLength(r->request);
  return result;
}

HttpClient::Response HttpClient::Get(const std::string& url, const HttpHeaders& extra_headers) {
  if (aborted_.load()) ThrowCancelled();
  RequestPtr r = impl_->Open(L"GET", url);
  impl_->SetCurrent(r);
  try {
    if (aborted_.load()) ThrowCancelled();
    impl_->SendAndReceive(r, HeaderBlock(extra_headers));
    const int status = QueryStatus(r->request);
    const std::int64_t length = QueryContentLength(r->request);
    return Response(*this, r, status, length);
  } catch (...) {
    impl_->ClearCurrent(r);
    r->Close();
    throw;
  }
}

void HttpClient::Abort() {
  aborted_.store(true);
  SetEvent(impl_->abort_event.get());
  RequestPtr request;
  {
    std::lock_guard lock(impl_->mutex);
    request = impl_->current;
  }
  // Cancels what WinHTTP still does for it; the waiter has already left.
  if (request) request->Close();
}

std::string HttpClient::Response::Header(const std::string& name) const {
  const std::wstring wname = Wide(name);
  DWORD size = 0;
  WinHttpQueryHeaders(request_->request, WINHTTP_QUERY_CUSTOM, wname.c_str(), WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::string();
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request_->request, WINHTTP_QUERY_CUSTOM, wname.c_str(), value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX))
    return std::string();
  value.resize(size / sizeof(wchar_t));
  return Narrow(value);
}

HttpClient::Response::Response(HttpClient& client, std::shared_ptr<Request> request, int status,
                               std::int64_t length)
    : client_(&client), request_(std::move(request)), status_(status), content_length_(length) {}

HttpClient::Response::Response(Response&& other) noexcept
    : client_(other.client_),
      request_(std::move(other.request_)),
      status_(other.status_),
      content_length_(other.content_length_) {}

HttpClient::Response::~Response() {
  if (!request_) return;
  client_->impl_->ClearCurrent(request_);
  request_->Close();
}

HttpBodyResult HttpClient::Response::ReadBody(DownloadSink& sink, const HttpProgress& progress) {
  HttpBodyResult result;
  Request& r = *request_;
  Impl& impl = *client_->impl_;
  // The buffer belongs to the request's shared state: after an abort a read
  // still under way may fill it.
  r.buffer.resize(kPieceSize);
  // Two ways to read, chosen by how the data flows. While pieces arrive
  // slowly, ask what has arrived and read just that: a read for more waits
  // until it is filled (Wine's does), which would hide a slow server's
  // progress. While data is waiting anyway, read whole buffers: one
  // completion per 64 KiB instead of two per 8 KiB keeps a fast link near
  // the speed of a bare read loop.
  bool whole_buffers = false;
  // Starts one asynchronous WinHTTP call and waits for its completion; false
  // when the client was aborted meanwhile, a throw when the call failed.
  auto Completed = [&](BOOL started_ok) {
    if (!started_ok) {
      if (client_->Aborted()) return false;
      ThrowLastHttpError();
    }
    return impl.Wait(r);
  };
  for (;;) {
    if (client_->Aborted()) {
      result.aborted = true;
      return result;
    }
    const auto started = std::chrono::steady_clock::now();
    DWORD want = static_cast<DWORD>(kPieceSize);
    if (content_length_ >= 0 && content_length_ - result.received < static_cast<std::int64_t>(want))
      want = static_cast<DWORD>(content_length_ - result.received);
    if (!whole_buffers || want == 0) {
      if (!Completed(WinHttpQueryDataAvailable(r.request, nullptr))) {
        result.aborted = true;
        return result;
      }
      const DWORD available = r.bytes;
      if (available == 0) break;
      want = available < kPieceSize ? available : static_cast<DWORD>(kPieceSize);
    }
    if (!Completed(WinHttpReadData(r.request, r.buffer.data(), want, nullptr))) {
      result.aborted = true;
      return result;
    }
    const DWORD read = r.bytes;
    if (read == 0) break;
    const auto took = std::chrono::steady_clock::now() - started;
    whole_buffers =
        whole_buffers ? took < std::chrono::milliseconds(50) : took < std::chrono::milliseconds(2);
    sink.Add(r.buffer.data(), read);
    result.received += read;
    bool abort = false;
    if (progress) progress(content_length_, result.received, abort);
    if (abort) {
      result.aborted = true;
      return result;
    }
  }
  result.ended_normally = true;
  result.complete = content_length_ < 0 || result.received == content_length_;
  return result;
}

}  // namespace lk
