#include <gtest/gtest.h>

#include "platform/profile_text.h"

namespace {

TEST(ProfileText, Utf16BecomesUtf8AndLoneSurrogatesTheReplacementCharacter) {
    EXPECT_EQ(platform::NarrowProfileText(u"A\u00e9\u20ac\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00};
    EXPECT_EQ(platform::NarrowProfileText(std::u16string_view(lone, 4)), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

}  // namespace
