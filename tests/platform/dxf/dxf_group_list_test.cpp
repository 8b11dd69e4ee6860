// The packed group storage gives back every group exactly as it was put in.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dxf/group_list.h"
#include "tests/platform/dxf/dxf_test_util.h"

namespace gm::dxf {
namespace {

std::uint64_t Bits(double d) {
  std::uint64_t b = 0;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// Equal as groups and, for reals and points, bit for bit (0.0 == -0.0 would hide a lost sign).
void ExpectSame(const Group& want, const Group& got) {
  EXPECT_EQ(want, got) << "code " << want.code();
  EXPECT_EQ(want.type(), got.type()) << "code " << want.code();
  EXPECT_EQ(Bits(want.real()), Bits(got.real())) << "code " << want.code();
  EXPECT_EQ(Bits(want.point().x), Bits(got.point().x)) << "code " << want.code();
  EXPECT_EQ(Bits(want.point().y), Bits(got.point().y)) << "code " << want.code();
  EXPECT_EQ(Bits(want.point().z), Bits(got.point().z)) << "code " << want.code();
}

std::vector<Group> EveryKind() {
  using L = std::numeric_limits<double>;
  const std::wstring long_text(70000, L'\u00E9');
  return {
      Group::Text(0, L"LINE"),
      Group::Text(5, L"1A2B"),                // a handle as written
      Group::Text(5, L"1a2b"),                // not as this store writes one: kept as text
      Group::Text(105, L"00FF"),              // leading zeros kept
      Group::Text(330, L"FFFFFFFFFFFFFFFF"),  // the largest 64-bit handle
      Group::Text(330, L"0"),
      Group::Text(340, L" 1F"),
      Group::Text(360, L"not hex"),
      Group::Text(1005, L"100000000"),  // just beyond 32 bits
      Group::Text(8, L""),
      Group::Text(8, L"Walls"),
      Group::Text(8, L"Walls"),  // shared with the one before
      Group::Text(1, long_text),
      Group::Text(1, L"\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F600"),
      Group::Text(310, L"0A0B0C0D0E0F00FF"),  // a binary chunk, as hex text
      Group::Text(1004, L"DEADBEEF"),
      Group::Real(40, 0.0),
      Group::Real(40, -0.0),
      Group::Real(41, L::max()),
      Group::Real(42, L::lowest()),
      Group::Real(43, L::denorm_min()),
      Group::Real(44, -L::min()),
      Group::Real(1040, 0.1),
      Group::Integer(62, GroupType::kInt16, -32768),
      Group::Integer(70, GroupType::kInt16, 65535),
      Group::Integer(71, GroupType::kInt16, -128),
      Group::Integer(72, GroupType::kInt16, 127),
      Group::Integer(73, GroupType::kInt16, 128),
      Group::Integer(90, GroupType::kInt32, std::numeric_limits<std::int32_t>::min()),
      Group::Integer(91, GroupType::kInt32, 4294967295LL),
      Group::Integer(160, GroupType::kInt64, std::numeric_limits<std::int64_t>::min()),
      Group::Integer(160, GroupType::kInt64, std::numeric_limits<std::int64_t>::max()),
      Group::Integer(290, GroupType::kBool, 0),
      Group::Integer(299, GroupType::kBool, 1),
      Group::Integer(1071, GroupType::kInt32, -2147483647LL - 1),
      Group::Integer(1071, GroupType::kInt32, 2147483647LL),
      Group::MakePoint(10, {1.5, -0.0, 0.0}),
      Group::MakePoint(11, {0.0, 0.0, -0.0}),  // z = -0.0 is no flat point
      Group::MakePoint(12, {L::max(), L::lowest(), L::denorm_min()}),
      Group::MakePoint(1010, {-1e-300, 1e300, 7}),
  };
}

TEST(DxfGroupList, GivesBackEveryGroupExactly) {
  const std::vector<Group> groups = EveryKind();
  const GroupList list(groups, std::make_shared<GroupStore>());
  ASSERT_EQ(list.size(), groups.size());
  std::size_t i = 0;
  for (const Group& g : list) ExpectSame(groups[i++], g);
  EXPECT_EQ(i, groups.size());
  ExpectSame(groups[12], list[12]);  // by index too, behind the long text
  ExpectSame(groups.back(), list[groups.size() - 1]);
}

TEST(DxfGroupList, ViewsTellHandlesAndTextsApart) {
  const std::vector<Group> groups = EveryKind();
  const GroupList list(groups, std::make_shared<GroupStore>());
  GroupList::Cursor cursor(list);
  GroupView v;
  std::vector<GroupView> views;
  while (cursor.Next(&v)) views.push_back(v);
  ASSERT_EQ(views.size(), groups.size());
  EXPECT_TRUE(views[1].is_handle);
  EXPECT_EQ(views[1].handle, 0x1A2Bu);
  EXPECT_FALSE(views[2].is_handle);
  EXPECT_EQ(views[2].text, L"1a2b");
  EXPECT_EQ(views[3].text, L"00FF");
  EXPECT_EQ(views[4].handle, 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(views[8].handle, 0x100000000u);
  EXPECT_EQ(views[12].text.size(), 70000u);
  EXPECT_EQ(views[31].integer, std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(FormatHandle(0), L"0");
  EXPECT_EQ(FormatHandle(0xABCDEF0123456789u), L"ABCDEF0123456789");
  for (const std::uint64_t h : {0xFull, 0x10ull, 0xFFFull, 0x1000ull, ~0ull}) {
    std::uint64_t back = 0;
    EXPECT_TRUE(IsPlainHandle(FormatHandle(h), &back)) << h;
    EXPECT_EQ(back, h);
    const std::wstring wide = FormatHandle(h);
    const std::string narrow(wide.begin(), wide.end());
    back = 0;
    EXPECT_TRUE(IsPlainHandle(narrow, &back)) << narrow;
    EXPECT_EQ(back, h);
  }
  std::uint64_t h = 0;
  for (const char* kept_as_text : {"", "0A", "a2", " 1F", "1F ", "12345678901234567", "G"}) {
    EXPECT_FALSE(IsPlainHandle(std::string_view(kept_as_text), &h)) << kept_as_text;
  }
}

TEST(DxfGroupList, CopiesOutliveTheLoaderAndCompareByValue) {
  GroupList copy;
  Group text;
  {
    auto store = std::make_shared<GroupStore>();
    const GroupList a({Group::Text(0, L"TEXT"), Group::Text(8, L"Layer")}, store);
    const GroupList b({Group::Text(0, L"TEXT"), Group::Text(8, L"Layer")}, store);
    const GroupList c({Group::Text(0, L"TEXT"), Group::Text(8, L"Other")}, store);
    EXPECT_EQ(a, b);
    EXPECT_FALSE(a == c);
    EXPECT_FALSE(a == GroupList());
    copy = a;
    text = a[1];
  }
  EXPECT_EQ(copy[1].text(), L"Layer");
  EXPECT_EQ(text.text(), L"Layer");
  EXPECT_TRUE(GroupList().empty());
  EXPECT_EQ(GroupList().begin(), GroupList().end());
}

// The store lives exactly as long as a list or the loader's reference holds it, through
// copies, moves, self-assignment and assignment across stores.
TEST(DxfGroupList, StoreLivesWhileAnyListHoldsIt) {
  auto store = std::make_shared<GroupStore>();
  const std::weak_ptr<GroupStore> watch = store;
  auto other = std::make_shared<GroupStore>();
  const std::weak_ptr<GroupStore> watch_other = other;
  auto a = std::make_unique<GroupList>(
      std::vector<Group>{Group::Text(0, L"TEXT"), Group::Text(8, L"Layer")}, store);
  GroupList b(std::vector<Group>{Group::Text(0, L"LINE")}, other);
  store.reset();
  other.reset();
  EXPECT_FALSE(watch.expired());
  GroupList copy = *a;
  GroupList& self = copy;
  copy = self;
  a.reset();
  EXPECT_FALSE(watch.expired());
  GroupList moved = std::move(copy);
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(moved[1].text(), L"Layer");
  b = moved;  // b's store loses its last list
  EXPECT_TRUE(watch_other.expired());
  moved = GroupList();
  EXPECT_FALSE(watch.expired());
  EXPECT_EQ(b[1].text(), L"Layer");
  b = std::move(moved);
  EXPECT_TRUE(watch.expired());
  EXPECT_TRUE(b.empty());
}

TEST(DxfGroupList, EntitiesKeepHandlesAsWritten) {
  using test::Tags;
  const Tags entities = {{0, "LINE"}, {5, "00A1"}, {330, "1f"},  {8, "0"},    {10, "0.0"},
                         {20, "0.0"}, {11, "1.0"}, {21, "-0.0"}, {0, "LINE"}, {5, "A2"},
                         {330, "1F"}, {8, "0"},    {10, "-0.0"}, {20, "0.0"}, {30, "-0.0"},
                         {11, "1"},   {21, "1"}};
  auto d = test::Load(test::Drawing({}, entities));
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->entities.size(), 2u);
  const Entity& first = d->entities[0];
  EXPECT_EQ(first.handle, 0xA1u);
  EXPECT_EQ(first.Text(5), L"00A1");
  EXPECT_EQ(first.Text(330), L"1f");
  EXPECT_EQ(first.owner, 0x1Fu);
  EXPECT_EQ(Bits(first.PointAt(11).y), Bits(-0.0));
  const Entity& second = d->entities[1];
  EXPECT_EQ(second.Text(5), L"A2");
  EXPECT_EQ(second.Find(330)->text(), L"1F");
  EXPECT_EQ(Bits(second.PointAt(10).x), Bits(-0.0));
  EXPECT_EQ(Bits(second.PointAt(10).z), Bits(-0.0));
}

// The reader reuses the room of texts nobody holds any more; texts still held must not change.
TEST(DxfTextRecycler, TextsStillHeldKeepTheirValue) {
  std::vector<Group> kept;
  {
    TextRecycler recycler;
    for (int i = 0; i < 40; ++i) {
      Group dropped = recycler.Make(1, L"dropped " + std::to_wstring(i));
      EXPECT_EQ(dropped.text(), L"dropped " + std::to_wstring(i));
      kept.push_back(recycler.Make(5, FormatHandle(static_cast<std::uint64_t>(i) + 0x100)));
    }
    EXPECT_EQ(recycler.Make(1, std::wstring(5000, L'x')).text().size(), 5000u);
    EXPECT_TRUE(recycler.Make(1, L"").text().empty());
  }
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(kept[static_cast<std::size_t>(i)].text(),
              FormatHandle(static_cast<std::uint64_t>(i) + 0x100));
  }
}

// A group whose type is not its code's own (only made by hand) keeps its type too, and texts
// of every length keep their alignment behind values of odd sizes.
TEST(DxfGroupList, KeepsForeignTypesAndAlignsTextsAfterOddValues) {
  std::vector<Group> groups;
  for (int n = 0; n < 9; ++n) {
    groups.push_back(Group::Integer(70, GroupType::kInt16, n));  // one byte
    groups.push_back(Group::Text(1, std::wstring(static_cast<std::size_t>(n), L'a')));
    groups.push_back(Group::Text(40, L"text under a real's code"));
    groups.push_back(Group::Real(1, -0.0));
    groups.push_back(Group::Integer(62, GroupType::kInt16, -300));  // two bytes
  }
  const GroupList list(groups, std::make_shared<GroupStore>());
  std::size_t i = 0;
  for (const Group& g : list) ExpectSame(groups[i++], g);
  EXPECT_EQ(i, groups.size());
  EXPECT_THROW(GroupList({Group::Real(4000, 1)}, std::make_shared<GroupStore>()),
               std::out_of_range);
}

// Lists packed one after another through one store keep their own groups: a list that grows
// the store's working room midway, small lists after it, and a list that failed to pack.
TEST(DxfGroupList, ListsOfOneStoreStayApart) {
  auto store = std::make_shared<GroupStore>();
  std::vector<std::vector<Group>> wanted;
  std::vector<GroupList> lists;
  for (int n = 0; n < 6; ++n) {
    std::vector<Group> groups = {Group::Text(0, L"TEXT"), Group::Text(5, L"1F"),
                                 Group::MakePoint(10, {n + 0.5, -1.25, 3})};
    // The fourth entity's text outgrows every earlier entity at once.
    groups.push_back(Group::Text(1, std::wstring(n == 3 ? 300000 : 5 + n, L'x')));
    groups.push_back(Group::Text(8, L"LAYER" + std::to_wstring(n % 2)));
    groups.push_back(Group::Real(40, n * 0.1));
    if (n == 4) {
      std::vector<Group> bad = groups;
      bad.push_back(Group::Real(2048, 1));
      EXPECT_THROW(GroupList(bad, store), std::out_of_range);
    }
    lists.emplace_back(groups, store);
    wanted.push_back(std::move(groups));
  }
  for (std::size_t k = 0; k < lists.size(); ++k) {
    ASSERT_EQ(lists[k].size(), wanted[k].size()) << "list " << k;
    std::size_t i = 0;
    for (const Group& g : lists[k]) ExpectSame(wanted[k][i++], g);
  }
}

// Values kept in fewer bytes when they fit come back exactly at every width's edges: handles
// of 1 to 8 bytes, shared texts past 256 and 65536 of them, reals and points that are floats
// exactly and those that only look like one.
TEST(DxfGroupList, EveryWidthComesBackExactly) {
  using F = std::numeric_limits<float>;
  std::vector<Group> groups;
  for (const std::uint64_t h : {0xFFull, 0x100ull, 0xFFFFull, 0x10000ull, 0xFFFFFFull, 0x1000000ull,
                                0xFFFFFFFFull, 0x100000000ull, 0xFFFFFFFFFFFFFFull}) {
    groups.push_back(Group::Text(330, FormatHandle(h)));
  }
  for (const double d :
       {0.5, -0.0, 0.1, 1e-40, static_cast<double>(F::denorm_min()), static_cast<double>(F::max()),
        static_cast<double>(F::max()) * 1.0000001, 16777217.0, -16777216.0, 3.4e38, 1e39}) {
    groups.push_back(Group::Real(40, d));
    groups.push_back(Group::MakePoint(10, {d, 0.25, 0.0}));
    groups.push_back(Group::MakePoint(11, {0.25, -2.0, d}));
  }
  auto store = std::make_shared<GroupStore>();
  const GroupList list(groups, store);
  std::size_t i = 0;
  for (const Group& g : list) ExpectSame(groups[i++], g);
  EXPECT_EQ(i, groups.size());

  std::vector<GroupList> lists;
  for (int n = 0; n < 70000; ++n) {
    lists.emplace_back(std::vector<Group>{Group::Text(8, L"L" + std::to_wstring(n))}, store);
  }
  for (const int n : {0, 255, 256, 65535, 65536, 69999}) {
    EXPECT_EQ(lists[static_cast<std::size_t>(n)].front().text(), L"L" + std::to_wstring(n));
  }
}

}  // namespace
}  // namespace gm::dxf
