// Look-ups by id go through an index of g_FontList. The list is public, so
// every change made to it or to its records from outside the module must be
// seen by the next look-up, which still answers the first record of the id.
#include <gtest/gtest.h>

#include <random>

#include "FontTableFixture.h"

namespace {
// What a look-up must answer: the first record of the id in table order.
tagHMIFONT* Walk(int id) {
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        tagHMIFONT* rec = g_FontList.GetNext(pos);
        if (rec && rec->nID == id) return rec;
    }
    return nullptr;
}

tagHMIFONT* Record(int id) {
    auto* rec = new tagHMIFONT{};
    rec->nID = id;
    CopyFixedName(rec->lf.lfFaceName, u"Arial", LF_FACESIZE);
    return rec;
}
}  // namespace

TEST_F(FontTableTest, LookupsSeeRecordsAddedAndRemovedThroughTheList) {
    tagHMIFONT* a = Add(16, u"A");
    Add(17, u"B");
    ASSERT_EQ(findFontInList(16), a);  // the index is made here
    EXPECT_EQ(findFontInList(20), nullptr);

    tagHMIFONT* tail = Record(20);
    g_FontList.AddTail(tail);
    EXPECT_EQ(findFontInList(20), tail);
    // A record of an id already there, put in front: it is now the first.
    tagHMIFONT* head = Record(17);
    g_FontList.AddHead(head);
    EXPECT_EQ(findFontInList(17), head);
    tagHMIFONT* before = Record(16);
    g_FontList.InsertBefore(g_FontList.Find(a), before);
    EXPECT_EQ(findFontInList(16), before);
    tagHMIFONT* after = Record(30);
    g_FontList.InsertAfter(g_FontList.GetHeadPosition(), after);
    EXPECT_EQ(findFontInList(30), after);

    delete g_FontList.RemoveHead();  // the head record of 17: the later one takes over
    EXPECT_EQ(std::u16string(findFontInList(17)->szName), u"B");
    POSITION at = g_FontList.Find(before);
    g_FontList.RemoveAt(at);
    delete before;
    EXPECT_EQ(findFontInList(16), a);
    delete g_FontList.RemoveTail();
    EXPECT_EQ(findFontInList(20), nullptr);

    // A record replaced in its position.
    tagHMIFONT* replacement = Record(40);
    POSITION pos = g_FontList.Find(a);
    g_FontList.SetAt(pos, replacement);
    delete a;
    EXPECT_EQ(findFontInList(16), nullptr);
    EXPECT_EQ(findFontInList(40), replacement);

    Font_DenitLib();
    EXPECT_EQ(findFontInList(40), nullptr);
    EXPECT_EQ(findFontInList(30), nullptr);
}

TEST_F(FontTableTest, LookupsSeeIdsEditedInPlaceAndRecordsSwappedThroughReferences) {
    tagHMIFONT* a = Add(16, u"A");
    tagHMIFONT* b = Add(17, u"B");
    tagHMIFONT* c = Add(17, u"C");
    ASSERT_EQ(findFontInList(17), b);

    // The list does not change: only the record does.
    b->nID = 99;
    EXPECT_EQ(findFontInList(99), b);  // an id the index never saw
    EXPECT_EQ(findFontInList(17), c);  // the next record of the old id
    c->nID = 18;
    EXPECT_EQ(findFontInList(17), nullptr);
    EXPECT_EQ(findFontInList(18), c);
    // Back to an id a later record holds: the earlier record is the first again.
    c->nID = 99;
    b->nID = 17;
    EXPECT_EQ(findFontInList(99), c);
    EXPECT_EQ(findFontInList(17), b);

    // GetHead and GetNext hand out references: a record put in place through
    // one is no change the list can count.
    tagHMIFONT* swapped = Record(50);
    tagHMIFONT*& slot = g_FontList.GetHead();
    slot = swapped;
    delete a;
    EXPECT_EQ(findFontInList(16), nullptr);
    EXPECT_EQ(findFontInList(50), swapped);
    POSITION pos = g_FontList.GetHeadPosition();
    g_FontList.GetNext(pos) = Record(16);  // the head again, now holding 16
    delete swapped;
    EXPECT_EQ(findFontInList(50), nullptr);
    EXPECT_EQ(findFontInList(16), g_FontList.GetHead());

    // The module's own operations on such a table.
    EXPECT_EQ(DelHmiFont(99), 1);  // c
    EXPECT_EQ(findFontInList(99), nullptr);
    EXPECT_EQ(findFontInList(17), b);
    b->nID = 21;
    EXPECT_EQ(DelHmiFont(17), 0);
    EXPECT_EQ(DelHmiFont(21), 1);
    EXPECT_EQ(g_FontList.GetCount(), 1);
    EXPECT_EQ(Font_IsValid(21), 0);
    EXPECT_EQ(Font_IsValid(16), 1);
}

TEST_F(FontTableTest, CreatedAndDeletedFontsKeepLookupsRight) {
    tagHMIFONT* first = Add(16, u"First");
    Add(16, u"Second");  // one id twice, as a damaged Font.hft may hold
    g_nMaxFontID = 16;
    LOGFONTW lf{};
    CopyFixedName(lf.lfFaceName, u"Arial", LF_FACESIZE);
    EXPECT_EQ(findFontInList(16), first);
    const int id = AddFontFromParam(lf, u"Third");
    EXPECT_EQ(id, 17);
    EXPECT_EQ(std::u16string(Font_GetFontName(17)), u"Third");
    EXPECT_EQ(DelHmiFont(16), 1);
    EXPECT_EQ(std::u16string(Font_GetFontName(16)), u"Second");
    EXPECT_EQ(DelHmiFont(16), 1);
    EXPECT_EQ(findFontInList(16), nullptr);
    // A record appended by hand between two created by the module.
    g_FontList.AddTail(Record(18));
    EXPECT_EQ(AddFontFromParam(lf, u"Fourth"), 18);
    EXPECT_EQ(std::u16string(Font_GetFontName(18)), u"");  // the hand-made record came first
    EXPECT_EQ(DelHmiFont(18), 1);
    EXPECT_EQ(std::u16string(Font_GetFontName(18)), u"Fourth");
    EXPECT_EQ(DelHmiFont(17), 1);
    EXPECT_EQ(g_FontList.GetCount(), 1);
}

// Random changes of every kind, each followed by look-ups against a walk of
// the list. Changes the list cannot count (ids edited in place, records put
// in place through a reference) never give a record the id of a later
// record: two records of one id made that way are seen only at the list's
// next change.
TEST_F(FontTableTest, LookupsAgreeWithAWalkOverRandomChanges) {
    std::mt19937 rng(20);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto nth = [](int i) { return g_FontList.FindIndex(i); };
    const int kIds = 12;  // few ids, so that records share them
    for (int i = 0; i < 8; ++i) Add(10 + pick(kIds), u"R");
    for (int step = 0; step < 3000; ++step) {
        const int n = static_cast<int>(g_FontList.GetCount());
        const int id = 10 + pick(kIds);
        switch (pick(9)) {
        case 0: g_FontList.AddTail(Record(id)); break;
        case 1: g_FontList.AddHead(Record(id)); break;
        case 2:
            if (n) g_FontList.InsertBefore(nth(pick(n)), Record(id));
            break;
        case 3:
            if (n > 2) {
                POSITION pos = nth(pick(n));
                delete g_FontList.GetAt(pos);
                g_FontList.RemoveAt(pos);
            }
            break;
        case 4:
            if (n > 2) DelHmiFont(id);
            break;
        case 5: AddFontFromParam(LOGFONTW{}, u"Made"); break;
        case 6:
        case 7:
        case 8:
            if (n) {
                const int k = pick(n);
                bool laterHolds = false;
                for (int j = k + 1; j < n; ++j) laterHolds |= g_FontList.GetAt(nth(j))->nID == id;
                if (laterHolds) break;
                tagHMIFONT*& slot = g_FontList.GetAt(nth(k));
                if (step % 2) {
                    slot->nID = id;
                } else {  // a new record put in place through the reference
                    delete slot;
                    slot = Record(id);
                }
            }
            break;
        }
        if (g_nMaxFontID > 10 + kIds + 5) g_nMaxFontID = 9 + pick(kIds);  // created fonts reuse ids too
        // Look up in a random order: a look-up may make the index again.
        for (int k = 0; k < kIds + 8; ++k) {
            const int probe = 8 + pick(kIds + 8);
            ASSERT_EQ(findFontInList(probe), Walk(probe)) << "step " << step << ", id " << probe;
        }
    }
}
