#include "platform/http_client.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <limits>

#include "platform/handles.h"
#include "platform/text.h"

namespace lk {
namespace {

struct CloseInternetFn {
  void operator()(HINTERNET h) const { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = UniqueAny<HINTERNET, CloseInternetFn>;

// WinHTTP's own codes (12xxx) have their texts in winhttp.dll, not in the
// system table.
std::string WinHttpErrorText(DWORD code) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                     FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<wchar_t*>(&buf), 0,
                                 nullptr);
  std::wstring text = n ? std::wstring(buf, n) : std::wstring();
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return SystemErrorText(code);
  return Narrow(text);
}

[[noreturn]] void ThrowLastError() {
  const DWORD code = GetLastError();
  throw HttpError(WinHttpErrorText(code), code);
}

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
    ThrowLastError();
  return static_cast<int>(status);
}

}  // namespace

// One request's handles. Abort may close them from another thread while a
// read blocks on them (the documented way to cancel a synchronous WinHTTP
// call), so closing is guarded and happens once.
struct HttpClient::Response::Request {
  std::mutex mutex;
  UniqueInternet connect;
  UniqueInternet request;

  HINTERNET handle() {
    std::lock_guard lock(mutex);
    return request.get();
  }
  void Close() {
    std::lock_guard lock(mutex);
    request.reset();
    connect.reset();
  }
};

struct HttpClient::Impl {
  UniqueInternet session;
  std::mutex mutex;
  std::shared_ptr<Response::Request> current;

  void SetCurrent(std::shared_ptr<Response::Request> request) {
    std::lock_guard lock(mutex);
    current = std::move(request);
  }
  void ClearCurrent(const std::shared_ptr<Response::Request>& request) {
    std::lock_guard lock(mutex);
    if (current == request) current.reset();
  }
};

HttpClient::HttpClient() : impl_(std::make_unique<Impl>()) {
  impl_->session.reset(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0));
  if (!impl_->session) ThrowLastError();
  // Older WinHTTP (Windows 7, Wine) offers only TLS 1.0 and 1.1 unless told
  // otherwise, which current servers refuse. TLS 1.3 is asked for where the
  // system knows it.
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  if (!WinHttpSetOption(impl_->session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
    protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(impl_->session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
  }
}

HttpClient::~HttpClient() = default;

namespace {

struct OpenedRequest {
  UniqueInternet connect;
  UniqueInternet request;
};

OpenedRequest OpenRequest(HINTERNET session, const wchar_t* verb, const std::string& url) {
  const std::wstring wurl = Wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wurl.c_str(), static_cast<DWORD>(wurl.size()), 0, &parts)) ThrowLastError();
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  OpenedRequest opened;
  opened.connect.reset(WinHttpConnect(session, host.c_str(), parts.nPort, 0));
  if (!opened.connect) ThrowLastError();
  const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  opened.request.reset(WinHttpOpenRequest(opened.connect.get(), verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!opened.request) ThrowLastError();
  return opened;
}

std::wstring HeaderBlock(const HttpHeaders& headers) {
  std::string block;
  for (const auto& [name, value] : headers) block += name + ": " + value + "\r\n";
  return Wide(block);
}

}  // namespace

HttpHeadResult HttpClient::Head(const std::string& url) {
  if (aborted_.load()) throw HttpError(WinHttpErrorText(ERROR_WINHTTP_OPERATION_CANCELLED), ERROR_WINHTTP_OPERATION_CANCELLED);
  OpenedRequest opened = OpenRequest(impl_->session.get(), L"HEAD", url);
  auto request = std::make_shared<Response::Request>();
  request->connect = std::move(opened.connect);
  request->request = std::move(opened.request);
  impl_->SetCurrent(request);
  struct Clear {
    Impl* impl;
    const std::shared_ptr<Response::Request>& r;
    ~Clear() {
      impl->ClearCurrent(r);
      r->Close();
    }
  } clear{impl_.get(), request};

  HINTERNET h = request->handle();
  if (!h || !WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(h, nullptr))
    ThrowLastError();
  HttpHeadResult result;
  result.status = QueryStatus(h);
  result.content_length = QueryContentLength(h);
  return result;
}

HttpClient::Response HttpClient::Get(const std::string& url, const HttpHeaders& extra_headers) {
  if (aborted_.load()) throw HttpError(WinHttpErrorText(ERROR_WINHTTP_OPERATION_CANCELLED), ERROR_WINHTTP_OPERATION_CANCELLED);
  OpenedRequest opened = OpenRequest(impl_->session.get(), L"GET", url);
  auto request = std::make_shared<Response::Request>();
  request->connect = std::move(opened.connect);
  request->request = std::move(opened.request);
  impl_->SetCurrent(request);
  // From here the Response (or this guard, on an error) owns the request.
  try {
    HINTERNET h = request->handle();
    const std::wstring headers = HeaderBlock(extra_headers);
    if (!h ||
        !WinHttpSendRequest(h, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(h, nullptr))
      ThrowLastError();
    const int status = QueryStatus(h);
    const std::int64_t length = QueryContentLength(h);
    return Response(*this, request, status, length);
  } catch (...) {
    impl_->ClearCurrent(request);
    request->Close();
    throw;
  }
}

void HttpClient::Abort() {
  aborted_.store(true);
  std::shared_ptr<Response::Request> request;
  {
    std::lock_guard lock(impl_->mutex);
    request = impl_->current;
  }
  if (request) request->Close();
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
  sink.SetLength(content_length_);
  // Large pieces keep the number of progress hand-overs per item small.
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (;;) {
    if (client_->Aborted()) {
      result.aborted = true;
      return result;
    }
    HINTERNET h = request_->handle();
    // Asking what has arrived first makes the read return what is there
    // instead of waiting for a full buffer: a slow server still gets its
    // progress shown piece by piece.
    DWORD available = 0;
    DWORD read = 0;
    bool ok = h && WinHttpQueryDataAvailable(h, &available);
    if (ok && available > 0) {
      const DWORD want = available < buffer.size() ? available : static_cast<DWORD>(buffer.size());
      ok = WinHttpReadData(h, buffer.data(), want, &read);
    }
    if (!ok) {
      const DWORD code = h ? GetLastError() : ERROR_WINHTTP_OPERATION_CANCELLED;
      if (client_->Aborted()) {
        result.aborted = true;
        return result;
      }
      throw HttpError(WinHttpErrorText(code), code);
    }
    if (read == 0) break;
    sink.Add(buffer.data(), read);
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
