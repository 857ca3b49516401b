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

// Random changes of every kind, through the list and through the module,
// each followed by look-ups against a walk of the list. Changes the list
// cannot count (ids edited in place, records put in place through a
// reference) never give a record the id of a later record: two records of
// one id made that way are seen only at the list's next change.
TEST_F(FontTableTest, LookupsAgreeWithAWalkOverRandomChanges) {
    std::mt19937 rng(20);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto nth = [](int i) { return g_FontList.FindIndex(i); };
    const int kIds = 12;  // few ids, so that records share them
    for (int i = 0; i < 8; ++i) Add(10 + pick(kIds), u"R");
    for (int step = 0; step < 3000; ++step) {
        const int n = static_cast<int>(g_FontList.GetCount());
        const int id = 10 + pick(kIds);
        switch (pick(13)) {
        case 0: g_FontList.AddTail(Record(id)); break;
        case 1: g_FontList.AddHead(Record(id)); break;
        case 2:
            if (n) g_FontList.InsertBefore(nth(pick(n)), Record(id));
            break;
        case 3:
            if (n) g_FontList.InsertAfter(nth(pick(n)), Record(id));
            break;
        case 4:
            if (n > 2) {
                POSITION pos = nth(pick(n));
                delete g_FontList.GetAt(pos);
                g_FontList.RemoveAt(pos);
            }
            break;
        case 5:
            if (n > 2) delete (step % 2 ? g_FontList.RemoveHead() : g_FontList.RemoveTail());
            break;
        case 6:
            if (n > 2) DelHmiFont(id);
            break;
        case 7: AddFontFromParam(LOGFONTW{}, u"Made"); break;
        case 8:
            if (n) {  // a record replaced in its position
                POSITION pos = nth(pick(n));
                delete g_FontList.GetAt(pos);
                g_FontList.SetAt(pos, Record(id));
            }
            break;
        case 9:
            if (n > 20) Font_DenitLib();
            break;
        default:
            if (n) {
                const int k = pick(n);
                bool laterHolds = false;
                for (int j = k + 1; j < n; ++j) laterHolds |= g_FontList.GetAt(nth(j))->nID == id;
                if (laterHolds) break;
                // GetAt and GetNext both hand out references.
                POSITION at = nth(k);
                tagHMIFONT*& slot = step % 3 ? g_FontList.GetAt(at) : g_FontList.GetNext(at);
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
