// The texts file's encoding check: every byte sequence UTF-8 allows gets
// through, whatever the mix of scripts, and any other stops the file.
#include <gtest/gtest.h>

#include "Studio.h"
#include "TextsFile.h"
#include "win/wstr.h"

namespace {
// The error of a one-text file with `text`, "" when it is read.
std::string ErrorOf(const std::string& text) {
    try {
        const studio::TextsFile f = studio::ParseTexts("screen S\n1\t" + text + "\n", "t.txt");
        EXPECT_EQ(f.texts.size(), 1u);
        if (!f.texts.empty()) {
            EXPECT_EQ(f.texts[0].text[0], Utf8ToUtf16(text));
        }
        return "";
    } catch (const studio::StudioError& e) {
        return e.message;
    }
}
}  // namespace

TEST(TextsFile, EncodingIsCheckedWhateverTheMixOfScripts) {
    for (const std::string good :
         {"abcdefghij\xE4\xB8\xAD\xE6\x96\x87\xCE\xA9\xC3\xA9\xF0\x9F\x98\x80", "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD",
          "abcdefgh\xC3\xA9", "\xF0\x9F\x98\x80" "abcdefghijklmnop"})
        EXPECT_EQ(ErrorOf(good), "") << good;
    for (const std::string bad : {"abcdefgh\xE4\xB8", "\xE4\x41\x42", "\xC3", "abcdefghijklmno\xF0\x9F\x98",
                                  "\xF8\x80\x80\x80\x80", "\x80", "abcdefghijklmno\xFF", "abc\xE4\xB8\xAD\xC3x"})
        EXPECT_EQ(ErrorOf(bad), "t.txt:2: not UTF-8") << bad;
}
