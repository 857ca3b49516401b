#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "mfc/afxcoll.h"

namespace {
std::vector<int> Values(CTypedPtrList<CPtrList, int*>& list) {
    std::vector<int> out;
    POSITION pos = list.GetHeadPosition();
    while (pos) out.push_back(*list.GetNext(pos));
    return out;
}
}  // namespace

TEST(CPtrList, IterationRemovalAndInsertion) {
    int v[5] = {0, 1, 2, 3, 4};
    CTypedPtrList<CPtrList, int*> list;
    for (int& x : v) list.AddTail(&x);
    EXPECT_EQ(list.GetCount(), 5);
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2, 3, 4}));

    // The MFC removal idiom: remember the position before GetNext advances it.
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        POSITION cur = pos;
        int* p = list.GetNext(pos);
        if (*p % 2 == 1) list.RemoveAt(cur);
    }
    EXPECT_EQ(Values(list), (std::vector<int>{0, 2, 4}));

    list.InsertAfter(list.GetHeadPosition(), &v[1]);
    list.InsertBefore(list.GetTailPosition(), &v[3]);
    list.AddHead(&v[4]);
    EXPECT_EQ(Values(list), (std::vector<int>{4, 0, 1, 2, 3, 4}));
    EXPECT_EQ(*list.GetAt(list.FindIndex(2)), 1);
    EXPECT_EQ(list.FindIndex(6), nullptr);
    EXPECT_EQ(list.Find(&v[2]), list.FindIndex(3));
    EXPECT_EQ(*list.RemoveHead(), 4);
    EXPECT_EQ(*list.RemoveTail(), 4);
    EXPECT_EQ(list.GetCount(), 4);

    POSITION back = list.GetTailPosition();
    std::vector<int> reversed;
    while (back) reversed.push_back(*list.GetPrev(back));
    EXPECT_EQ(reversed, (std::vector<int>{3, 2, 1, 0}));

    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_THROW(list.GetHead(), std::out_of_range);
}

TEST(CStringArray, GrowsInsertsRemoves) {
    CStringArray a;
    a.Add(u"x");
    a.SetAtGrow(3, u"d");
    EXPECT_EQ(a.GetSize(), 4);
    EXPECT_TRUE(a[1].IsEmpty());
    a.InsertAt(1, u"b");
    EXPECT_EQ(a[1], u"b");
    a.RemoveAt(0, 2);
    EXPECT_EQ(a.GetSize(), 3);
    a.RemoveAt(10);  // out of range: ignored
    EXPECT_EQ(a.GetUpperBound(), 2);
    EXPECT_EQ(a[2], u"d");
}

TEST(CPtrList, EveryChangeThroughAMemberIsCounted) {
    using List = CTypedPtrList<CPtrList, int*>;
    int v[3] = {0, 1, 2};
    List list;
    uint64_t last = list.GetChangeCount();
    auto changed = [&] {
        const uint64_t now = list.GetChangeCount();
        const bool moved = now != last;
        last = now;
        return moved;
    };
    const std::function<void(List&)> changes[] = {
        [&](List& l) { l.AddTail(&v[0]); },
        [&](List& l) { l.AddHead(&v[1]); },
        [&](List& l) { l.InsertAfter(l.GetHeadPosition(), &v[2]); },
        [&](List& l) { l.InsertBefore(l.GetTailPosition(), &v[0]); },
        [&](List& l) { l.SetAt(l.GetHeadPosition(), &v[2]); },
        [](List& l) { l.RemoveAt(l.FindIndex(1)); },
        [](List& l) { l.RemoveHead(); },
        [](List& l) { l.RemoveTail(); },
        [](List& l) { l.RemoveAll(); },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        changes[i](list);
        EXPECT_TRUE(changed()) << "change " << i;
    }

    // Reading does not count, whatever position or reference it hands out.
    list.AddTail(&v[0]);
    list.AddTail(&v[1]);
    changed();
    POSITION pos = list.GetHeadPosition();
    while (pos) list.GetNext(pos);
    list.GetHead();
    list.GetTail();
    list.Find(&v[1]);
    list.FindIndex(1);
    list.GetAt(list.GetTailPosition());
    pos = list.GetTailPosition();
    list.GetPrev(pos);
    EXPECT_FALSE(changed());
    EXPECT_EQ(list.GetCount(), 2);
}
