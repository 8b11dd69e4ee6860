#include "platform/shell/internet.h"

#include <curl/curl.h>

#include <cwctype>
#include <mutex>
#include <vector>

#include "platform/win/text.h"

IMPLEMENT_DYNAMIC(CInternetException, CException)

namespace {

constexpr size_t kMaxAnswer = 1 << 20;
constexpr long kMaxRedirects = 5;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

[[noreturn]] void Throw(DWORD error, const std::wstring& detail = L"") {
  throw new CInternetException(error, detail);
}

DWORD ErrorFor(CURLcode code) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_WRITE_ERROR:  // the answer was longer than we take
    case CURLE_BAD_CONTENT_ENCODING:
      return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_TOO_MANY_REDIRECTS:
      return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
      return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    default:
      return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

struct Body {
  std::string* text;
  bool too_long = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<Body*>(user);
  size_t n = size * count;
  if (body->text->size() + n > kMaxAnswer) {
    body->too_long = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  body->text->append(data, n);
  return n;
}

// Owns the handle and the header list of one request.
class Request {
 public:
  Request() : handle_(curl_easy_init()) {}
  ~Request() {
    if (headers_ != nullptr) curl_slist_free_all(headers_);
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  CURL* handle() const { return handle_; }
  void AddHeader(const std::string& line) { headers_ = curl_slist_append(headers_, line.c_str()); }
  curl_slist* headers() const { return headers_; }

 private:
  CURL* handle_;
  curl_slist* headers_ = nullptr;
};

bool IsHostChar(wchar_t c) {
  return c < 0x80 && (std::iswalnum(c) || c == L'-' || c == L'.' || c == L'_');
}

// A host name or IPv4 address, or an IPv6 address (bracketed or not);
// returns it as it goes into a URL, empty when it cannot be a server name.
std::wstring ServerForUrl(const std::wstring& server) {
  if (server.empty()) return {};
  std::wstring inner = server;
  bool bracketed = server.front() == L'[';
  if (bracketed) {
    if (server.size() < 3 || server.back() != L']') return {};
    inner = server.substr(1, server.size() - 2);
  }
  bool has_colon = inner.find(L':') != std::wstring::npos;
  if (has_colon) {
    for (wchar_t c : inner) {
      if (!(c < 0x80 && (std::iswxdigit(c) || c == L':' || c == L'.'))) return {};
    }
    return L"[" + inner + L"]";
  }
  if (bracketed) return {};
  for (wchar_t c : inner) {
    if (!IsHostChar(c)) return {};
  }
  return inner;
}

// Percent-encodes what may not stand in a URL's path and query as it is.
std::string EncodeObject(const std::wstring& object) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string utf8 = win::WideToUtf8(object);
  std::string out;
  for (unsigned char c : utf8) {
    bool keep = c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' && c != '^' &&
                c != '`' && c != '{' && c != '|' && c != '}' && c != '#';
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  if (out.empty() || out[0] != '/') out.insert(out.begin(), '/');
  return out;
}

}  // namespace

bool CInternetException::GetErrorMessage(std::wstring& message) const {
  switch (m_dwError) {
    case ERROR_INTERNET_TIMEOUT:
      message = L"The operation timed out";
      break;
    case ERROR_INTERNET_INVALID_URL:
      message = L"The URL is invalid";
      break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      message = L"The server name or address could not be resolved";
      break;
    case ERROR_INTERNET_INVALID_OPERATION:
      message = L"The requested operation is invalid";
      break;
    case ERROR_INTERNET_CANNOT_CONNECT:
      message = L"A connection with the server could not be established";
      break;
    case ERROR_INTERNET_CONNECTION_RESET:
      message = L"The connection with the server was reset";
      break;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      message = L"The server returned an invalid or unrecognized response";
      break;
    case ERROR_HTTP_INVALID_HEADER:
      message = L"The supplied HTTP header is invalid";
      break;
    case ERROR_HTTP_REDIRECT_FAILED:
      message = L"The redirection failed";
      break;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
      message = L"A secure connection with the server could not be made";
      break;
    default:
      message = L"An internal error occurred";
      break;
  }
  if (!detail_.empty()) message += L": " + detail_;
  return true;
}

// ---------------------------------------------------------------------------

CInternetSession::CInternetSession(const wchar_t* agent)
    : settings_(std::make_shared<InternetSettings>()) {
  settings_->agent = agent != nullptr ? agent : AfxGetAppName();
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const std::wstring& server,
                                                                     INTERNET_PORT port) {
  std::wstring host = ServerForUrl(server);
  if (host.empty()) Throw(ERROR_INTERNET_INVALID_URL, L"\"" + server + L"\" is no server name");
  // A copy: options set later are for the connections made later.
  auto settings = std::make_shared<const InternetSettings>(*settings_);
  return std::make_unique<CHttpConnection>(std::move(settings), host, port);
}

BOOL CInternetSession::SetOption(DWORD option, DWORD value) {
  if (value == 0 || value > 0x7FFFFFFF) return FALSE;
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      settings_->connect_timeout_ms = static_cast<long>(value);
      return TRUE;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
      settings_->total_timeout_ms = static_cast<long>(value);
      return TRUE;
    default:
      return FALSE;
  }
}

CHttpConnection::CHttpConnection(std::shared_ptr<const InternetSettings> settings,
                                 std::wstring server, INTERNET_PORT port)
    : settings_(std::move(settings)), server_(std::move(server)), port_(port) {}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(const std::wstring& verb,
                                                        const std::wstring& object, DWORD flags) {
  if (verb != L"GET" && verb != L"HEAD") {
    Throw(ERROR_INTERNET_INVALID_OPERATION, L"the verb \"" + verb + L"\" is not supported");
  }
  bool secure = (flags & INTERNET_FLAG_SECURE) != 0;
  INTERNET_PORT defaultPort = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  INTERNET_PORT port = port_ == INTERNET_INVALID_PORT_NUMBER ? defaultPort : port_;
  std::wstring url = secure ? L"https://" : L"http://";
  url += server_;
  if (port != defaultPort) url += L":" + std::to_wstring(port);
  url += win::Utf8ToWide(EncodeObject(object));
  return std::make_unique<CHttpFile>(settings_, std::move(url), verb);
}

CHttpFile::CHttpFile(std::shared_ptr<const InternetSettings> settings, std::wstring url,
                     std::wstring verb)
    : settings_(std::move(settings)), url_(std::move(url)), verb_(std::move(verb)) {}

BOOL CHttpFile::SendRequest(const std::wstring& headers) {
  InitCurlOnce();
  Request request;
  CURL* h = request.handle();
  if (h == nullptr) Throw(ERROR_INTERNET_INTERNAL_ERROR, L"no HTTP client could be made");

  size_t start = 0;
  while (start <= headers.size()) {
    size_t end = headers.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = headers.size();
    std::wstring line = headers.substr(start, end - start);
    start = end + 1;
    bool blank = line.find_first_not_of(L" \t") == std::wstring::npos;
    if (blank) continue;
    size_t colon = line.find(L':');
    if (colon == std::wstring::npos || colon == 0) {
      Throw(ERROR_HTTP_INVALID_HEADER, L"\"" + line + L"\" is no header line");
    }
    request.AddHeader(win::WideToUtf8(line));
  }

  std::string url = win::WideToUtf8(url_);
  std::string agent = win::WideToUtf8(settings_->agent);
  char error[CURL_ERROR_SIZE] = {};
  std::string answer;
  Body body{&answer};
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, settings_->connect_timeout_ms);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, settings_->total_timeout_ms);
  if (!agent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
  if (request.headers() != nullptr) curl_easy_setopt(h, CURLOPT_HTTPHEADER, request.headers());
  if (verb_ == L"HEAD") curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);

  CURLcode code = curl_easy_perform(h);
  if (code != CURLE_OK) {
    std::string why = body.too_long   ? "the answer is longer than 1 MiB"
                      : error[0] != 0 ? std::string(error)
                                      : std::string(curl_easy_strerror(code));
    Throw(ErrorFor(code), win::Utf8ToWide(why));
  }
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  status_ = status;
  body_ = std::move(answer);
  read_ = 0;
  sent_ = true;
  return TRUE;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& status) const {
  if (!sent_) return FALSE;
  status = static_cast<DWORD>(status_);
  return TRUE;
}

BOOL CHttpFile::ReadString(std::wstring& line) {
  if (!sent_ || read_ >= body_.size()) return FALSE;
  size_t end = body_.find('\n', read_);
  size_t next = end == std::string::npos ? body_.size() : end + 1;
  if (end == std::string::npos) end = body_.size();
  size_t stop = end;
  if (stop > read_ && body_[stop - 1] == '\r') --stop;
  line = win::Utf8ToWide(std::string_view(body_).substr(read_, stop - read_));
  read_ = next;
  return TRUE;
}

void CHttpFile::Close() {
  body_.clear();
  read_ = 0;
  sent_ = false;
}
