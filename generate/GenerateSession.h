// The generation session: which characters each project font receives
// during a compile.
#pragma once

#include <bitset>
#include <list>
#include <memory>
#include <unordered_map>

#include "Tamsel.h"

struct FontUseRecord {
    int nID = 0;
    // One bit per UTF-16 code unit; the codes themselves serve nothing else
    // than telling used fonts from unused ones.
    std::bitset<65536> used;
    size_t count = 0;
    bool IsEmpty() const { return count == 0; }
    void Add(char16_t code) {
        if (!used.test(code)) {
            used.set(code);
            ++count;
        }
    }
};

class CGenerateSession {
public:
    // Records in table order; the index finds the first record of an id.
    std::list<FontUseRecord> records;
    std::unordered_map<int, FontUseRecord*> firstById;

    void Remove(std::list<FontUseRecord>::iterator it);
};

// The open session, or null.
CGenerateSession* CurrentGenerateSession();
