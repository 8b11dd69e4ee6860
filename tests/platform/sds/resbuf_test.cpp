#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "platform/sds/host.h"
#include "platform/sds/sds.h"

namespace {

std::vector<std::wstring> Texts(const sds_resbuf* list) {
  std::vector<std::wstring> out;
  for (; list != nullptr; list = list->rbnext) out.emplace_back(list->resval.rstring);
  return out;
}

// Cuts the list after its n-th node (from 1) and returns the rest.
sds_resbuf* CutAfter(sds_resbuf* list, int n) {
  for (int i = 1; i < n; ++i) list = list->rbnext;
  sds_resbuf* rest = list->rbnext;
  list->rbnext = nullptr;
  return rest;
}

TEST(ResultBuffers, PartsOfAListFreedInAnyOrderLeaveTheOthersWhole) {
  const std::wstring longText(3000, L'x');
  sds_resbuf* list = sds_buildlist(RTSTR, L"a", RTSTR, L"bb", RTSTR, longText.c_str(), RTSTR,
                                   L"dddd", RTSTR, L"", RTSTR, L"ffffff", 0);
  ASSERT_NE(list, nullptr);
  sds_resbuf* middle = CutAfter(list, 2);
  sds_resbuf* last = CutAfter(middle, 2);
  sds_relrb(middle);
  // Nodes and texts just released go to new lists; the parts still held must not change.
  sds_resbuf* fresh = sds_buildlist(RTSTR, L"new one", RTSTR, L"zz", RTSTR, L"", 0);
  EXPECT_EQ(Texts(list), (std::vector<std::wstring>{L"a", L"bb"}));
  EXPECT_EQ(Texts(last), (std::vector<std::wstring>{L"", L"ffffff"}));
  EXPECT_EQ(Texts(fresh), (std::vector<std::wstring>{L"new one", L"zz", L""}));
  sds_relrb(last);
  sds_relrb(list);
  sds_relrb(fresh);
}

TEST(ResultBuffers, RecycledNodesComeCleanWhateverTheyCarried) {
  for (int round = 0; round < 3; ++round) {
    sds_point p = {1, 2, 3};
    sds_name n = {7, 1};
    sds_relrb(sds_buildlist(RTSTR, L"text", RT3DPOINT, p, RTENAME, n, RTREAL, 2.5, 0));
    std::vector<sds_resbuf*> nodes;
    for (int i = 0; i < 8; ++i) {
      nodes.push_back(sds_newrb(RTPOINT));
      ASSERT_NE(nodes.back(), nullptr);
      EXPECT_EQ(nodes.back()->restype, RTPOINT);
      EXPECT_EQ(nodes.back()->rbnext, nullptr);
      for (double v : nodes.back()->resval.rpoint) EXPECT_EQ(v, 0.0);
    }
    for (sds_resbuf* rb : nodes) sds_relrb(rb);
  }
}

// A caller may free or replace a text it was given, and give texts of its own: sds_relrb
// frees whatever text a node carries when freed, once.
TEST(ResultBuffers, TextsACallerReplacesOrSetsAreFreedOnce) {
  sds_resbuf* list = sds_buildlist(RTSTR, L"short", 1, L"given", 0);
  ASSERT_NE(list, nullptr);
  std::free(list->resval.rstring);
  list->resval.rstring = wcsdup(std::wstring(5000, L'r').c_str());
  sds_free(list->rbnext->resval.rstring);
  list->rbnext->resval.rstring = nullptr;
  sds_resbuf* own = sds_newrb(RTSTR);
  own->resval.rstring = wcsdup(L"mine");
  list->rbnext->rbnext = own;
  sds_relrb(list);

  // The texts a host fills in round lengths near a kept buffer's size stay whole.
  for (std::size_t length : {0u, 1u, 30u, 31u, 32u, 62u, 63u, 64u, 65u, 200u, 4000u}) {
    sds_resbuf* rb = sds_newrb(RTSTR);
    wchar_t* text = sds_host::TextBuffer(rb, length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(rb->resval.rstring, text);
    std::wmemset(text, L'q', length);
    EXPECT_EQ(std::wstring(rb->resval.rstring), std::wstring(length, L'q'));
    sds_relrb(rb);
  }
}

// Entity data lists carry many short texts of varying length (types, layers, class names):
// a node that carried a very short one must have room for a longer short one next time,
// or every such text costs a heap call.
TEST(ResultBuffers, ARecycledNodeServesTheNextShortTextFromItsOwnBuffer) {
  sds_relrb(sds_buildlist(RTSTR, L"0", 0));
  sds_resbuf* rb = sds_newrb(RTSTR);
  const wchar_t* kept = sds_host::TextBuffer(rb, 2);
  sds_relrb(rb);
  for (std::size_t length : {10u, 20u, 1u}) {
    rb = sds_newrb(RTSTR);
    wchar_t* text = sds_host::TextBuffer(rb, length);
    EXPECT_EQ(text, kept) << length;
    std::wmemset(text, L'k', length);
    EXPECT_EQ(std::wstring(rb->resval.rstring), std::wstring(length, L'k'));
    sds_relrb(rb);
  }
}

// A list taken whole is as many nodes as asked for, each as sds_newrb gives it, and each
// freed on its own, in any order, even after the pool handed out nodes that carried texts.
TEST(ResultBuffers, AListTakenWholeIsCleanNodesEachFreedOnItsOwn) {
  EXPECT_EQ(sds_host::NewList(0), nullptr);
  for (int round = 0; round < 3; ++round) {
    sds_point p = {1, 2, 3};
    sds_relrb(sds_buildlist(RTSTR, L"carried", RT3DPOINT, p, RTSTR, L"more", RTLONG, 9, 0));
    sds_resbuf* list = sds_host::NewList(7);
    std::vector<sds_resbuf*> nodes;
    for (sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
      EXPECT_EQ(rb->restype, 0);
      for (double v : rb->resval.rpoint) EXPECT_EQ(v, 0.0);
      nodes.push_back(rb);
    }
    ASSERT_EQ(nodes.size(), 7u);
    // Given texts of their own, then freed one by one from the middle out.
    for (sds_resbuf* rb : nodes) {
      rb->restype = RTSTR;
      std::wmemset(sds_host::TextBuffer(rb, 40), L't', 40);
      rb->rbnext = nullptr;
    }
    for (std::size_t i : {3u, 0u, 6u, 1u, 5u, 2u, 4u}) {
      EXPECT_EQ(std::wstring(nodes[i]->resval.rstring), std::wstring(40, L't'));
      sds_relrb(nodes[i]);
    }
  }
}

TEST(ResultBuffers, ListsBuiltOnOneThreadAndFreedOnAnother) {
  std::vector<sds_resbuf*> lists;
  std::thread builder([&] {
    for (int i = 0; i < 5000; ++i) {
      lists.push_back(sds_buildlist(RTSTR, std::to_wstring(i).c_str(), RTSHORT, i % 100, 0));
    }
  });
  builder.join();
  std::thread freer([&] {
    for (std::size_t i = 0; i < lists.size(); i += 2) sds_relrb(lists[i]);
  });
  freer.join();
  for (std::size_t i = 1; i < lists.size(); i += 2) {
    EXPECT_EQ(std::wstring(lists[i]->resval.rstring), std::to_wstring(i));
    EXPECT_EQ(lists[i]->rbnext->resval.rint, static_cast<short>(i % 100));
    sds_relrb(lists[i]);
  }
}

TEST(ResultBuffers, KindsOfGroupCodesAndResultTypes) {
  EXPECT_EQ(SdsKindOfCode(0), SdsValueKind::kText);
  EXPECT_EQ(SdsKindOfCode(1), SdsValueKind::kText);
  EXPECT_EQ(SdsKindOfCode(10), SdsValueKind::kPoint);
  EXPECT_EQ(SdsKindOfCode(40), SdsValueKind::kReal);
  EXPECT_EQ(SdsKindOfCode(62), SdsValueKind::kShort);
  EXPECT_EQ(SdsKindOfCode(90), SdsValueKind::kLong);
  EXPECT_EQ(SdsKindOfCode(330), SdsValueKind::kName);
  EXPECT_EQ(SdsKindOfCode(1071), SdsValueKind::kLong);
  EXPECT_EQ(SdsKindOfCode(1072), SdsValueKind::kNone);
  EXPECT_EQ(SdsKindOfCode(-1), SdsValueKind::kName);
  EXPECT_EQ(SdsKindOfCode(-4), SdsValueKind::kText);
  EXPECT_EQ(SdsKindOfCode(RTSTR), SdsValueKind::kText);
  EXPECT_EQ(SdsKindOfCode(RTLB), SdsValueKind::kNone);
}

}  // namespace
