// The shell room: HTTP over libcurl against a server the test runs, the open
// verb with and without a desktop, and the description of this system.
#include <sys/stat.h>
#include <sys/utsname.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/console/console.h"
#include "platform/shell/internet.h"
#include "platform/shell/os_version.h"
#include "platform/shell/shellapi.h"
#include "platform/win/text.h"
#include "tests/platform/shell/http_test_server.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::HttpTestServer;
using gm::test::TempDir;

using EnvVar = gm::test::ScopedEnv;

// The test server is local: no proxy of the environment may stand between.
const EnvVar kNoProxy("no_proxy", "127.0.0.1,localhost");

std::wstring W(const std::string& s) { return win::Utf8ToWide(s); }

DWORD ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (CInternetException* e) {
    DWORD error = e->m_dwError;
    e->Delete();
    return error;
  }
  return 0;
}

std::unique_ptr<CHttpFile> Get(CInternetSession& session, const HttpTestServer& server,
                               const std::wstring& object) {
  auto connection = session.GetHttpConnection(L"127.0.0.1", static_cast<WORD>(server.port()));
  return connection->OpenRequest(L"GET", object);
}

// ---------------------------------------------------------------------------
// HTTP

TEST(Internet, ReadsTheAnswerLineByLine) {
  HttpTestServer server;
  server.Serve("/list/updates.txt", {200, "first\r\nsecond line\n\nlast \xC3\xA9", {}});
  CInternetSession session(L"GridmasonTest/1");
  auto file = Get(session, server, L"list/updates.txt");
  DWORD status = 0;
  EXPECT_FALSE(file->QueryInfoStatusCode(status));  // nothing sent yet
  std::wstring line;
  EXPECT_FALSE(file->ReadString(line));
  ASSERT_TRUE(file->SendRequest(L"\n"));
  ASSERT_TRUE(file->QueryInfoStatusCode(status));
  EXPECT_EQ(status, 200u);
  std::vector<std::wstring> lines;
  while (file->ReadString(line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"first", L"second line", L"", L"last \u00E9"}));

  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/list/updates.txt");
  EXPECT_TRUE(requests[0].HasHeader("User-Agent: GridmasonTest/1"));
}

TEST(Internet, AStatusOtherThan200IsNoFailure) {
  HttpTestServer server;
  CInternetSession session;
  auto file = Get(session, server, L"/missing.txt");
  ASSERT_TRUE(file->SendRequest());
  DWORD status = 0;
  ASSERT_TRUE(file->QueryInfoStatusCode(status));
  EXPECT_EQ(status, 404u);
}

TEST(Internet, ExtraHeadersAreSentAndBadOnesRefused) {
  HttpTestServer server;
  server.Serve("/h", {200, "ok", {}});
  CInternetSession session;
  auto file = Get(session, server, L"/h");
  ASSERT_TRUE(file->SendRequest(L"X-One: 1\r\n\r\nX-Two: two words\n"));
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].HasHeader("X-One: 1"));
  EXPECT_TRUE(requests[0].HasHeader("X-Two: two words"));

  auto bad = Get(session, server, L"/h");
  EXPECT_EQ(ErrorOf([&] { bad->SendRequest(L"no colon here"); }), ERROR_HTTP_INVALID_HEADER);
  EXPECT_EQ(server.requests().size(), 1u) << "a refused request is not sent";
}

TEST(Internet, ObjectsAreEncodedAndOnlyGetOrHeadAreMade) {
  HttpTestServer server;
  CInternetSession session;
  auto file = Get(session, server, L"a b/\u00E9?q=1");
  EXPECT_EQ(file->url(),
            W("http://127.0.0.1:" + std::to_string(server.port()) + "/a%20b/%C3%A9?q=1"));
  auto connection = session.GetHttpConnection(L"www.orvane.example");
  EXPECT_EQ(connection->OpenRequest(L"GET", L"/x")->url(), L"http://www.orvane.example/x");
  EXPECT_EQ(connection->OpenRequest(L"GET", L"/x", INTERNET_FLAG_SECURE)->url(),
            L"https://www.orvane.example/x");
  EXPECT_EQ(session.GetHttpConnection(L"::1", 8080)->OpenRequest(L"HEAD", L"x")->url(),
            L"http://[::1]:8080/x");
  EXPECT_EQ(ErrorOf([&] { connection->OpenRequest(L"POST", L"/x"); }),
            ERROR_INTERNET_INVALID_OPERATION);
}

TEST(Internet, ServerNamesThatCannotBeOneAreRefused) {
  CInternetSession session;
  for (const wchar_t* name :
       {L"", L"two words", L"host:80", L"host/path", L"user@host", L"h?x", L"[notv6]", L"[::1"}) {
    EXPECT_EQ(ErrorOf([&] { session.GetHttpConnection(name); }), ERROR_INTERNET_INVALID_URL)
        << win::WideToUtf8(name);
  }
  EXPECT_EQ(ErrorOf([&] { session.GetHttpConnection(L"[::1]"); }), 0u);
}

TEST(Internet, RedirectsAreFollowedButNotForever) {
  HttpTestServer server;
  server.Serve("/old", {302, "", {"Location: /new"}});
  server.Serve("/new", {200, "moved here\n", {}});
  server.Serve("/loop", {302, "", {"Location: /loop"}});
  server.Serve("/ftp", {302, "", {"Location: ftp://127.0.0.1/x"}});
  CInternetSession session;
  auto file = Get(session, server, L"/old");
  ASSERT_TRUE(file->SendRequest());
  std::wstring line;
  ASSERT_TRUE(file->ReadString(line));
  EXPECT_EQ(line, L"moved here");

  auto loop = Get(session, server, L"/loop");
  EXPECT_EQ(ErrorOf([&] { loop->SendRequest(); }), ERROR_HTTP_REDIRECT_FAILED);
  auto ftp = Get(session, server, L"/ftp");
  EXPECT_NE(ErrorOf([&] { ftp->SendRequest(); }), 0u) << "only HTTP and HTTPS are followed";
}

TEST(Internet, FailuresThrowWithTheirCauseAndText) {
  CInternetSession session;
  auto connection =
      session.GetHttpConnection(L"127.0.0.1", static_cast<WORD>(HttpTestServer::UnusedPort()));
  auto file = connection->OpenRequest(L"GET", L"/x");
  try {
    file->SendRequest();
    ADD_FAILURE() << "no server, no answer";
  } catch (CInternetException* e) {
    EXPECT_EQ(e->m_dwError, ERROR_INTERNET_CANNOT_CONNECT);
    std::wstring message;
    EXPECT_TRUE(e->GetErrorMessage(message));
    EXPECT_EQ(message.rfind(L"A connection with the server could not be established: ", 0), 0u)
        << win::WideToUtf8(message);
    EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CException)));
    e->Delete();
  }
  DWORD status = 0;
  EXPECT_FALSE(file->QueryInfoStatusCode(status));
}

TEST(Internet, AMissingClientLibraryFailsTheRequestWithItsName) {
  HttpTestServer server;
  server.Serve("/a", {200, "one\n", {}});
  CInternetSession session;
  struct Restore {
    ~Restore() { InternetUseClientLibrary("libcurl.so.4"); }
  } restore;
  InternetUseClientLibrary("libgridmason-no-such-curl.so.4");
  auto file = Get(session, server, L"/a");
  try {
    file->SendRequest();
    ADD_FAILURE() << "no client library, no request";
  } catch (CInternetException* e) {
    EXPECT_EQ(e->m_dwError, ERROR_INTERNET_INTERNAL_ERROR);
    std::wstring message;
    e->GetErrorMessage(message);
    EXPECT_NE(message.find(L"libgridmason-no-such-curl.so.4 could not be loaded"),
              std::wstring::npos)
        << win::WideToUtf8(message);
    e->Delete();
  }
  InternetUseClientLibrary("libcurl.so.4");
  EXPECT_TRUE(file->SendRequest()) << "the real library serves the next request";
  std::wstring line;
  EXPECT_TRUE(file->ReadString(line));
  EXPECT_EQ(line, L"one");
}

TEST(Internet, AnAnswerTooLongOrTooSlowIsAFailure) {
  HttpTestServer server;
  server.Serve("/big", {200, std::string((1 << 20) + 1, 'x'), {}});
  server.Serve("/slow", {200, "late", {}});
  server.Serve("/fits", {200, std::string(1 << 20, 'y'), {}});
  CInternetSession session;
  auto big = Get(session, server, L"/big");
  EXPECT_EQ(ErrorOf([&] { big->SendRequest(); }), ERROR_HTTP_INVALID_SERVER_RESPONSE);
  auto fits = Get(session, server, L"/fits");
  EXPECT_EQ(ErrorOf([&] { fits->SendRequest(); }), 0u);

  EXPECT_FALSE(session.SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 0));
  EXPECT_FALSE(session.SetOption(12345, 100));
  ASSERT_TRUE(session.SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 300));
  server.OnRequest([](const HttpTestServer::Request& r) {
    if (r.target == "/slow") std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  });
  auto slow = Get(session, server, L"/slow");
  EXPECT_EQ(ErrorOf([&] { slow->SendRequest(); }), ERROR_INTERNET_TIMEOUT);
}

// ---------------------------------------------------------------------------
// The open verb

class ShellOpen : public ::testing::Test {
 protected:
  // A stand-in for xdg-open that writes how it was called, and what its input held.
  void InstallRecordingOpener() {
    std::filesystem::create_directories(dir / "bin");
    gm::test::WriteFile(dir / "bin" / "xdg-open",
                        "#!/bin/sh\n"
                        "cat > '" +
                            (dir / "stdin.txt").string() +
                            "'\n"
                            "printf '%s\\n' \"$#\" \"$1\" > '" +
                            (dir / "args.tmp").string() +
                            "'\n"
                            "mv '" +
                            (dir / "args.tmp").string() + "' '" + (dir / "args.txt").string() +
                            "'\n");
    chmod((dir / "bin" / "xdg-open").c_str(), 0755);
  }
  // The opener's record, once it has run (it runs detached).
  std::string WaitForRecord() {
    for (int i = 0; i < 200; ++i) {
      std::error_code ec;
      if (std::filesystem::exists(dir / "args.txt", ec))
        return gm::test::ReadFile(dir / "args.txt");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "";
  }
  HINSTANCE Open(const std::wstring& file, const wchar_t* directory = nullptr) {
    return ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, directory, 1);
  }

  TempDir dir;
};

TEST_F(ShellOpen, WithoutADesktopTheAddressIsPrinted) {
  EnvVar display("DISPLAY", std::nullopt);
  EnvVar wayland("WAYLAND_DISPLAY", std::nullopt);
  console::Capture out;
  EXPECT_EQ(ShellResult(Open(L"mailto:help@orvane.example?body=a b%0a%0dc")), SE_ERR_NOASSOC);
  EXPECT_NE(out.text().find(L"open it yourself:\n  mailto:help@orvane.example?body=a b%0a%0dc"),
            std::wstring::npos)
      << win::WideToUtf8(out.text());

  gm::test::WriteFile(dir / "Guide.chm", "ITSF");
  out.clear();
  EXPECT_EQ(ShellResult(Open(L"Guide.chm", W(dir.path().string()).c_str())), SE_ERR_NOASSOC);
  EXPECT_NE(out.text().find(W((dir / "Guide.chm").string())), std::wstring::npos)
      << "a relative name is taken in the folder given";
}

TEST_F(ShellOpen, AMissingFileOrAnUnknownVerbIsRefused) {
  console::Capture out;
  std::wstring missing = W((dir / "nowhere.chm").string());
  EXPECT_EQ(ShellResult(Open(missing)), SE_ERR_FNF);
  EXPECT_NE(out.text().find(L"Cannot open " + missing + L": there is no such file."),
            std::wstring::npos);
  EXPECT_EQ(
      ShellResult(ShellExecuteW(nullptr, L"print", L"https://x.example/", nullptr, nullptr, 1)),
      SE_ERR_NOASSOC);
  EXPECT_EQ(ShellResult(ShellExecuteW(nullptr, nullptr, nullptr, nullptr, nullptr, 1)), SE_ERR_FNF);
}

TEST_F(ShellOpen, WithADesktopTheOpenerGetsTheAddressAsItIs) {
  InstallRecordingOpener();
  EnvVar display("DISPLAY", ":99");
  EnvVar path("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
  console::Capture out;
  // Nothing in it is ever run by a shell.
  std::wstring url = L"https://www.orvane.example/x?a=1;touch${IFS}pwned&b='q'\"$(id)\"";
  EXPECT_GT(ShellResult(ShellExecuteW(nullptr, L"OPEN", url.c_str(), nullptr, nullptr, 1)), 32);
  EXPECT_EQ(WaitForRecord(), "1\n" + win::WideToUtf8(url) + "\n");
  EXPECT_EQ(gm::test::ReadFile(dir / "stdin.txt"), "") << "the opener reads no input of ours";
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_EQ(out.text(), L"");
}

TEST_F(ShellOpen, AFileNamedLikeAnOptionGoesAsAFullPath) {
  InstallRecordingOpener();
  EnvVar display("DISPLAY", std::nullopt);
  EnvVar wayland("WAYLAND_DISPLAY", "wayland-0");
  EnvVar path("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
  gm::test::WriteFile(dir / "-h", "x");
  EXPECT_GT(ShellResult(Open(L"-h", W(dir.path().string()).c_str())), 32);
  EXPECT_EQ(WaitForRecord(), "1\n" + (dir / "-h").string() + "\n");
}

// ---------------------------------------------------------------------------
// The system's description

TEST(OsVersion, TheVersionQueryHasNoRecordHere) {
  OSVERSIONINFOEXW ex;
  ex.dwOSVersionInfoSize = sizeof ex;
  EXPECT_FALSE(GetVersionExW(&ex));
  OSVERSIONINFOW small;
  small.dwOSVersionInfoSize = sizeof small;
  EXPECT_FALSE(GetVersionExW(&small));
  EXPECT_EQ(small.dwPlatformId, 0u);
}

TEST(OsVersion, DistributionNameFollowsTheFileRules) {
  EXPECT_EQ(shell::DistributionName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux "
                                    "12 (bookworm)\"\nID=debian\n"),
            L"Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(shell::DistributionName("# comment\nNAME=Fedora\nVERSION='39 (Thirty $Nine)'\n"),
            L"Fedora 39 (Thirty $Nine)");
  EXPECT_EQ(shell::DistributionName("PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$x\"\n"),
            L"Say \"hi\" \\ $x");
  EXPECT_EQ(shell::DistributionName("PRETTY_NAME=Bare # a comment\r\n"), L"Bare");
  EXPECT_EQ(shell::DistributionName("ID=nameless\n=x\ngarbage\n"), L"");
  EXPECT_EQ(shell::DistributionName("PRETTY_NAME=\"Gr\xC3\xBCn OS\"\n"), L"Gr\u00FCn OS");
}

TEST(OsVersion, TheRunningSystemIsNamedWithItsKernel) {
  utsname u{};
  ASSERT_EQ(uname(&u), 0);
  std::wstring kernel = W(std::string(u.sysname) + " " + u.release + " " + u.machine);
  TempDir dir;
  gm::test::WriteFile(dir / "os-release", "PRETTY_NAME=\"Test OS 1.0\"\n");
  EXPECT_EQ(shell::RunningSystemDescription(dir / "os-release"), L"Test OS 1.0, " + kernel);
  EXPECT_EQ(shell::RunningSystemDescription(dir / "absent"), kernel);
  std::wstring here = shell::RunningSystemDescription();
  EXPECT_GE(here.size(), kernel.size());
  EXPECT_EQ(here.substr(here.size() - kernel.size()), kernel);
}

}  // namespace
