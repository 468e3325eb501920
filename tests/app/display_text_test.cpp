#include <gtest/gtest.h>

#include "app/display_text.h"

namespace {

TEST(DisplayText, Utf8AsItIsAndOtherBytesAsWindows1252) {
    const struct {
        const char* text;
        std::u16string_view shown;
    } rows[] = {
        {"Orvane <ORV72>", u"Orvane <ORV72>"},
        {"Ger\xC3\xA4t \xE2\x82\xAC \xF0\x9F\x98\x80", u"Ger\u00e4t \u20ac \U0001F600"},
        {"Ger\xE4t", u"Ger\u00e4t"},                             // Latin-1 range
        {"\x80 \x99 \x9F \x81", u"\u20ac \u2122 \u0178 \u0081"},  // the 1252 block, an undefined byte
        {"\xC3", u"\u00c3"},                                      // a cut sequence
        {"\xC0\xAF", u"\u00c0\u00af"},                            // an overlong '/'
        {"\xED\xA0\x80", u"\u00ed\u00a0\u20ac"},                  // a surrogate
        {"\xF4\x90\x80\x80", u"\u00f4\u0090\u20ac\u20ac"},        // beyond U+10FFFF
    };
    for (const auto& row : rows) EXPECT_EQ(app::DisplayText(row.text), row.shown) << row.text;
}

}  // namespace
