// The internet functions the plug-in uses, in the framework's classes: a
// session, an HTTP connection to a server, and a request whose answer is
// read line by line. Backed by libcurl, loaded at the first request (a
// missing one fails that request like any other cause). Failures to connect or to get an
// answer throw CInternetException (a pointer, deleted by whoever catches
// it); an HTTP status other than 200 is no failure and is read with
// QueryInfoStatusCode.
//
// The session's defaults: 10 s to connect, 30 s for the whole request,
// redirects followed (at most 5, HTTP and HTTPS only), an answer of at most
// 1 MiB (a longer one is a failure, not a silently cut list). Proxies are
// taken from the environment ($http_proxy, $no_proxy), as libcurl does.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/afx/afx.h"

using INTERNET_PORT = WORD;
constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;  // the scheme's default port
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;

constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INVALID_OPERATION = 12016;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_INVALID_HEADER = 12153;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

// The library the requests load, libcurl.so.4 unless changed; set before a
// request (tests name a missing one).
void InternetUseClientLibrary(const std::string& name);

class CInternetException : public CException {
  DECLARE_DYNAMIC(CInternetException)
 public:
  explicit CInternetException(DWORD error, std::wstring detail = L"")
      : m_dwError(error), detail_(std::move(detail)) {}
  // The system's text for the error, then the detail ("…: Connection refused").
  bool GetErrorMessage(std::wstring& message) const override;

  DWORD m_dwError;

 private:
  std::wstring detail_;
};

struct InternetSettings {
  std::wstring agent;  // empty: no User-Agent header
  long connect_timeout_ms = 10000;
  long total_timeout_ms = 30000;
};

class CHttpFile {
 public:
  // url: a full http: or https: address (CHttpConnection::OpenRequest makes it).
  CHttpFile(std::shared_ptr<const InternetSettings> settings, std::wstring url,
            std::wstring verb = L"GET");
  CHttpFile(const CHttpFile&) = delete;
  CHttpFile& operator=(const CHttpFile&) = delete;

  // Sends the request; headers are extra header lines "Name: value",
  // separated by line ends (blank lines are dropped, as the system drops
  // them; a line without a colon is refused). Throws CInternetException*.
  BOOL SendRequest(const std::wstring& headers = L"");
  // The HTTP status of the answer; false before SendRequest succeeded.
  BOOL QueryInfoStatusCode(DWORD& status) const;
  // The next line of the answer (UTF-8, invalid bytes as U+FFFD), without
  // its line end ("\n" or "\r\n"); false at the end.
  BOOL ReadString(std::wstring& line);
  const std::wstring& url() const { return url_; }
  void Close();

 private:
  std::shared_ptr<const InternetSettings> settings_;
  std::wstring url_;
  std::wstring verb_;
  bool sent_ = false;
  long status_ = 0;
  std::string body_;
  size_t read_ = 0;
};

class CHttpConnection {
 public:
  // server: a host name, an IPv4 address or a bracketed IPv6 address.
  CHttpConnection(std::shared_ptr<const InternetSettings> settings, std::wstring server,
                  INTERNET_PORT port);
  CHttpConnection(const CHttpConnection&) = delete;
  CHttpConnection& operator=(const CHttpConnection&) = delete;

  // verb: "GET" or "HEAD" (others throw ERROR_INTERNET_INVALID_OPERATION,
  // there being no way to give a body). object: the path below the server,
  // with or without its leading slash, possibly with a query; blanks and
  // characters outside ASCII are percent-encoded. flags: INTERNET_FLAG_SECURE
  // for HTTPS. Connects nothing yet.
  std::unique_ptr<CHttpFile> OpenRequest(const std::wstring& verb, const std::wstring& object,
                                         DWORD flags = 0);
  void Close() {}

 private:
  std::shared_ptr<const InternetSettings> settings_;
  std::wstring server_;
  INTERNET_PORT port_;
};

class CInternetSession {
 public:
  // agent: the User-Agent; null takes the application's name.
  explicit CInternetSession(const wchar_t* agent = nullptr);
  CInternetSession(const CInternetSession&) = delete;
  CInternetSession& operator=(const CInternetSession&) = delete;

  // Throws CInternetException* (ERROR_INTERNET_INVALID_URL) for a server
  // name that cannot be one: empty, with blanks, '/', '@', '?', '#' or a
  // port in it. Connects nothing yet.
  std::unique_ptr<CHttpConnection> GetHttpConnection(
      const std::wstring& server, INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER);
  // INTERNET_OPTION_CONNECT_TIMEOUT or INTERNET_OPTION_RECEIVE_TIMEOUT (the
  // whole request), in ms, above 0; for the connections made afterwards.
  BOOL SetOption(DWORD option, DWORD value);
  void Close() {}

 private:
  std::shared_ptr<InternetSettings> settings_;
};
