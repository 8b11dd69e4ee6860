// Values and error objects: OLE dates, kinds, and the texts of status codes.
#include <gtest/gtest.h>

#include "platform/ado/ado.h"
#include "platform/ado/import.h"

namespace {

using ado::DateTimeParts;
using ado::FromOleDate;
using ado::ToOleDate;
using ado::Variant;

TEST(Values, OleDatesAroundTheEpoch) {
  EXPECT_DOUBLE_EQ(0.0, ToOleDate({1899, 12, 30, 0, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(-1.25, ToOleDate({1899, 12, 29, 6, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(2.75, ToOleDate({1900, 1, 1, 18, 0, 0, 0}));
  const DateTimeParts p{2020, 2, 29, 23, 59, 58, 250};
  EXPECT_EQ(p, *FromOleDate(ToOleDate(p)));
  EXPECT_EQ((DateTimeParts{1899, 12, 29, 6, 0, 0, 0}), *FromOleDate(-1.25));
  // Less than half a millisecond before midnight is midnight of the next day.
  EXPECT_EQ((DateTimeParts{1900, 1, 1, 0, 0, 0, 0}), *FromOleDate(2.0 - 1e-10));
  EXPECT_FALSE(FromOleDate(1e9).has_value());
}

TEST(Values, KindsAndMismatches) {
  EXPECT_TRUE(Variant().IsEmpty());
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_EQ(ado::VarType::I4, Variant::I4(-7).vt());
  EXPECT_EQ(-7, Variant::I4(-7).AsInt64());
  EXPECT_DOUBLE_EQ(-7.0, Variant::I4(-7).AsDouble());
  EXPECT_TRUE(Variant::Bool(true).AsBool());
  EXPECT_NE(Variant::I4(1), Variant::I8(1));  // kinds count, as vt does
  try {
    (void)Variant::Text(L"12").AsInt64();
    ADD_FAILURE() << "text read as a number";
  } catch (const _com_error& e) {
    EXPECT_EQ(static_cast<HRESULT>(0x80020005), e.Error());
  }
  EXPECT_THROW((void)Variant::I4(1).AsText(), _com_error);
}

TEST(Values, StatusCodeTexts) {
  EXPECT_STREQ(L"Unspecified error", _com_error(E_FAIL).ErrorMessage());
  EXPECT_STREQ(L"IDispatch error #3092", _com_error(0x80040E14).ErrorMessage());
  EXPECT_EQ(3092, _com_error(0x80040E14).WCode());
  EXPECT_STREQ(L"Unknown error 0x800A0E78",
               _com_error(ado::AdoError(ado::adErrObjectClosed)).ErrorMessage());
  const _com_error e(E_FAIL, L"src", L"desc", L"HY000", 5);
  EXPECT_EQ(L"src", e.Source());
  EXPECT_EQ(L"desc", e.Description());
  EXPECT_EQ(L"HY000", e.SqlState());
  EXPECT_EQ(5, e.NativeError());
}

TEST(Values, EmptyPointerRaises) {
  ado::ConnectionPtr connection;
  EXPECT_TRUE(connection == nullptr);
  try {
    connection->Close();
    ADD_FAILURE() << "no error";
  } catch (const _com_error& e) {
    EXPECT_EQ(static_cast<HRESULT>(0x80004003), e.Error());
  }
  ASSERT_EQ(S_OK, connection.CreateInstance());
  EXPECT_EQ(ado::adStateClosed, connection->GetState());
}

// Code written against the imported type library's names compiles here.
TEST(Values, WindowsNamesReachTheSameObjects) {
  _ConnectionPtr connection;
  ASSERT_EQ(S_OK, connection.CreateInstance());
  connection->PutCursorLocation(adUseClient);
  EXPECT_EQ(adUseClient, connection->GetCursorLocation());
  EXPECT_EQ(0x81, adCmdText | adExecuteNoRecords);
  ADOX::_CatalogPtr catalog;
  EXPECT_TRUE(catalog == NULL);
  _RecordsetPtr recordset;
  recordset.CreateInstance();
  EXPECT_EQ(adStateClosed, recordset->GetState());
  EXPECT_EQ(AdoError(adErrObjectClosed), [&] {
    try {
      recordset->MoveFirst();
    } catch (const _com_error& e) {
      return e.Error();
    }
    return S_OK;
  }());
}

}  // namespace
