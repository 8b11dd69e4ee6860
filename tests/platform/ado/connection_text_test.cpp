// Connection texts: the key=value form, and which texts are turned into
// texts for the SQLite driver and which pass as written.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ado/connection_text.h"
#include "platform/com/comdef.h"
#include "platform/win/wintypes.h"
#include "tests/support/test_support.h"

namespace {

using ado::detail::Attribute;
using ado::detail::FindAttribute;
using ado::detail::ParseConnectionText;
using ado::detail::ResolveConnection;

// Points the driver lookup at a stand-in file, so that these cases hold
// whether or not the driver is installed.
class DriverLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("GM_SQLITE_ODBC_DRIVER")) saved_ = old;
    gm::test::WriteFile(dir_ / "libsqlite3odbc.so", "");
    driver_ = (dir_ / "libsqlite3odbc.so").wstring();
    setenv("GM_SQLITE_ODBC_DRIVER", (dir_ / "libsqlite3odbc.so").c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty()) {
      unsetenv("GM_SQLITE_ODBC_DRIVER");
    } else {
      setenv("GM_SQLITE_ODBC_DRIVER", saved_.c_str(), 1);
    }
  }

  gm::test::TempDir dir_;
  std::wstring driver_;
  std::string saved_;
};

TEST(ConnectionText, PairsBracesAndBlanks) {
  const auto pairs = ParseConnectionText(L" Driver = {A;B}}C} ;;Dbq=/x y/z.mdb;Uid=;Pwd=p=q");
  ASSERT_EQ(4u, pairs.size());
  EXPECT_EQ(L"Driver", pairs[0].key);
  EXPECT_EQ(L"A;B}C", pairs[0].value);
  EXPECT_EQ(L"/x y/z.mdb", *FindAttribute(pairs, L"DBQ"));
  EXPECT_EQ(L"", *FindAttribute(pairs, L"uid"));
  EXPECT_EQ(L"p=q", *FindAttribute(pairs, L"Pwd"));
  EXPECT_EQ(nullptr, FindAttribute(pairs, L"Database"));

  EXPECT_EQ(L"Driver={A;B}}C};Dbq=x;",
            ado::detail::JoinConnectionText({Attribute{L"Driver", L"A;B}C"}, {L"Dbq", L"x"}}));
  EXPECT_THROW(ParseConnectionText(L"Driver={never closed;Dbq=x"), _com_error);
  EXPECT_THROW(ParseConnectionText(L"Driver=x;stray;"), _com_error);
}

TEST_F(DriverLookup, AccessTextsNameTheSqliteDriver) {
  for (const wchar_t* name :
       {L"Microsoft Access Driver (*.mdb)", L"microsoft access driver (*.mdb, *.accdb)"}) {
    const auto target = ResolveConnection(
        std::wstring(L"Driver={") + name + L"};Dbq=/d/a.mdb;Uid=admin;Pwd=secret;", L"u", L"p", 7);
    EXPECT_TRUE(target.jet);
    EXPECT_EQ(L"/d/a.mdb", target.databasePath);
    const auto pairs = ParseConnectionText(target.text);
    EXPECT_EQ(driver_, *FindAttribute(pairs, L"Driver"));
    EXPECT_EQ(L"file:///d/a.mdb", *FindAttribute(pairs, L"Database"));
    EXPECT_EQ(L"1", *FindAttribute(pairs, L"LongNames"));
    EXPECT_EQ(L"1", *FindAttribute(pairs, L"NoCreat"));
    EXPECT_EQ(L"7000", *FindAttribute(pairs, L"Timeout"));
    EXPECT_EQ(nullptr, FindAttribute(pairs, L"Uid"));
    EXPECT_EQ(nullptr, FindAttribute(pairs, L"Pwd"));
    EXPECT_EQ(nullptr, FindAttribute(pairs, L"Dbq"));
  }
  // The driver knows no braces: a path is handed over as a URI whose
  // separators, braces, blanks and letters are percent-encoded. What the
  // text sets itself stays.
  const auto target = ResolveConnection(
      L"Driver={Microsoft Access Driver (*.mdb)};Dbq={/d/a;b {}}\u00fc%?#.mdb};Timeout=5", {}, {},
      30);
  EXPECT_EQ(L"/d/a;b {}\u00fc%?#.mdb", target.databasePath);
  const auto pairs = ParseConnectionText(target.text);
  EXPECT_EQ(L"file:///d/a%3Bb%20%7B%7D%C3%BC%25%3F%23.mdb", *FindAttribute(pairs, L"Database"));
  EXPECT_EQ(
      L"file:rel/x.mdb",
      *FindAttribute(ParseConnectionText(
                         ResolveConnection(
                             L"Driver={Microsoft Access Driver (*.mdb)};Dbq=rel/x.mdb", {}, {}, 30)
                             .text),
                     L"Database"));
  EXPECT_EQ(L"5", *FindAttribute(pairs, L"Timeout"));

  EXPECT_THROW(ResolveConnection(L"Driver={Microsoft Access Driver (*.mdb)};Uid=a;", {}, {}, 1),
               _com_error);
}

TEST_F(DriverLookup, ProvidersAndPassThrough) {
  const auto jet =
      ResolveConnection(L"Provider=Microsoft.ACE.OLEDB.12.0;data source=/d/x.accdb", {}, {}, 30);
  EXPECT_TRUE(jet.jet);
  EXPECT_EQ(L"/d/x.accdb", jet.databasePath);

  const std::wstring other = L"DSN=Sales;Database=x";
  EXPECT_EQ(other, ResolveConnection(other, {}, {}, 30).text);
  EXPECT_FALSE(ResolveConnection(other, {}, {}, 30).jet);
  EXPECT_EQ(L"DSN=Sales;Database=x;UID=u;PWD={p;w};",
            ResolveConnection(other, L"u", L"p;w", 30).text);
  EXPECT_EQ(L"Driver={X};UID=a;", ResolveConnection(L"Driver={X};UID=a;", L"u", {}, 30).text);
  EXPECT_EQ(L"Driver=X;", ResolveConnection(L"Provider=MSDASQL;Driver={X};", {}, {}, 30).text);

  try {
    ResolveConnection(L"Provider=SQLOLEDB;Data Source=srv", {}, {}, 30);
    ADD_FAILURE() << "an unknown provider was accepted";
  } catch (const _com_error& e) {
    EXPECT_EQ(static_cast<HRESULT>(0x800A0E7A), e.Error());
  }
}

TEST_F(DriverLookup, MissingDriverIsReportedByName) {
  setenv("GM_SQLITE_ODBC_DRIVER", (dir_ / "absent.so").c_str(), 1);
  try {
    ResolveConnection(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=/x.mdb;", {}, {}, 30);
    ADD_FAILURE() << "no error without the driver";
  } catch (const _com_error& e) {
    EXPECT_NE(std::wstring::npos, e.Description().find(L"libsqliteodbc"));
  }
  // Texts for other drivers do not need it.
  EXPECT_NO_THROW(ResolveConnection(L"DSN=Other", {}, {}, 30));
}

TEST(ConnectionText, JetDataSource) {
  EXPECT_EQ(L"/d/n.mdb",
            *ado::detail::JetDataSource(L"Provider=Microsoft.Jet.OLEDB.4.0;data source=/d/n.mdb"));
  EXPECT_FALSE(ado::detail::JetDataSource(L"Provider=SQLOLEDB;Data Source=x").has_value());
  EXPECT_THROW(ado::detail::JetDataSource(L"Provider=Microsoft.Jet.OLEDB.4.0;"), _com_error);
}

}  // namespace
