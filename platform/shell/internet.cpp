#include "platform/shell/internet.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <cwctype>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win/text.h"

IMPLEMENT_DYNAMIC(CInternetException, CException)

namespace {

constexpr size_t kMaxAnswer = 1 << 20;
constexpr long kMaxRedirects = 5;

[[noreturn]] void Throw(DWORD error, const std::wstring& detail = L"") {
  throw new CInternetException(error, detail);
}

// libcurl and the ~30 libraries it needs (TLS, Kerberos, LDAP, SSH) are
// loaded at the first request, not at start-up: a conversion never makes
// one, and the dynamic loader spent more time on them than a small
// conversion takes.
struct CurlApi {
  decltype(&curl_global_init) global_init;
  decltype(&curl_easy_init) easy_init;
  decltype(&curl_easy_cleanup) easy_cleanup;
  decltype(&curl_easy_setopt) easy_setopt;
  decltype(&curl_easy_perform) easy_perform;
  decltype(&curl_easy_getinfo) easy_getinfo;
  decltype(&curl_easy_strerror) easy_strerror;
  decltype(&curl_slist_append) slist_append;
  decltype(&curl_slist_free_all) slist_free_all;
};

std::mutex curl_mutex;
std::string curl_library = "libcurl.so.4";
const CurlApi* curl_api = nullptr;  // kept for the life of the process once loaded

template <typename F>
bool Find(void* library, const char* name, F& f) {
  f = reinterpret_cast<F>(dlsym(library, name));
  return f != nullptr;
}

const CurlApi& Curl() {
  std::lock_guard lock(curl_mutex);
  if (curl_api != nullptr) return *curl_api;
  std::wstring name = win::Utf8ToWide(curl_library);
  void* library = dlopen(curl_library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    Throw(ERROR_INTERNET_INTERNAL_ERROR, L"the HTTP client library " + name +
                                             L" could not be loaded (" +
                                             win::Utf8ToWide(why != nullptr ? why : "") + L")");
  }
  auto api = std::make_unique<CurlApi>();
  const char* missing = nullptr;
  auto find = [&](const char* symbol, auto& f) {
    if (missing == nullptr && !Find(library, symbol, f)) missing = symbol;
  };
  find("curl_global_init", api->global_init);
  find("curl_easy_init", api->easy_init);
  find("curl_easy_cleanup", api->easy_cleanup);
  find("curl_easy_setopt", api->easy_setopt);
  find("curl_easy_perform", api->easy_perform);
  find("curl_easy_getinfo", api->easy_getinfo);
  find("curl_easy_strerror", api->easy_strerror);
  find("curl_slist_append", api->slist_append);
  find("curl_slist_free_all", api->slist_free_all);
  if (missing != nullptr) {
    dlclose(library);
    Throw(ERROR_INTERNET_INTERNAL_ERROR,
          L"the HTTP client library " + name + L" has no " + win::Utf8ToWide(missing));
  }
  if (api->global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    Throw(ERROR_INTERNET_INTERNAL_ERROR,
          L"the HTTP client library " + name + L" could not be initialised");
  }
  curl_api = api.release();
  return *curl_api;
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
  explicit Request(const CurlApi& curl) : curl_(curl), handle_(curl.easy_init()) {}
  ~Request() {
    if (headers_ != nullptr) curl_.slist_free_all(headers_);
    if (handle_ != nullptr) curl_.easy_cleanup(handle_);
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  CURL* handle() const { return handle_; }
  void AddHeader(const std::string& line) { headers_ = curl_.slist_append(headers_, line.c_str()); }
  curl_slist* headers() const { return headers_; }

 private:
  const CurlApi& curl_;
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

void InternetUseClientLibrary(const std::string& name) {
  std::lock_guard lock(curl_mutex);
  curl_library = name;
  curl_api = nullptr;  // the next request loads it; one loaded before stays in the process
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
  const CurlApi& curl = Curl();
  Request request(curl);
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
  curl.easy_setopt(h, CURLOPT_URL, url.c_str());
  curl.easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  curl.easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl.easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl.easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl.easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, settings_->connect_timeout_ms);
  curl.easy_setopt(h, CURLOPT_TIMEOUT_MS, settings_->total_timeout_ms);
  if (!agent.empty()) curl.easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
  if (request.headers() != nullptr) curl.easy_setopt(h, CURLOPT_HTTPHEADER, request.headers());
  if (verb_ == L"HEAD") curl.easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl.easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect);
  curl.easy_setopt(h, CURLOPT_WRITEDATA, &body);

  CURLcode code = curl.easy_perform(h);
  if (code != CURLE_OK) {
    std::string why = body.too_long   ? "the answer is longer than 1 MiB"
                      : error[0] != 0 ? std::string(error)
                                      : std::string(curl.easy_strerror(code));
    Throw(ErrorFor(code), win::Utf8ToWide(why));
  }
  long status = 0;
  curl.easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
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
