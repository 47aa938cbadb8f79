#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "core/clock.h"
#include "core/xml_text.h"

namespace ferolin {
namespace {

std::tuple<int, int, int, int, int, int> Fields(const UtcDateTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

std::string Escaped(std::string_view text) {
    std::string out;
    AppendXmlText(out, text);
    return out;
}

TEST(XmlText, EscapesMarkupAndKeepsValidUtf8) {
    EXPECT_EQ(Escaped("a&b <c> \"d\" 'e'"), "a&amp;b &lt;c&gt; \"d\" 'e'");
    EXPECT_EQ(Escaped("Randonn\xC3\xA9" "e \xE2\x82\xAC \xF0\x9F\x97\xBA"),
              "Randonn\xC3\xA9" "e \xE2\x82\xAC \xF0\x9F\x97\xBA");
    EXPECT_EQ(Escaped("tab\tlf\ncr\r"), "tab\tlf\ncr\r");
    TextBuffer buffer;
    AppendXmlText(buffer, "x&y");
    EXPECT_EQ(buffer.View(), "x&amp;y");
}

TEST(XmlText, ReplacesInvalidSequencesAndControlCharacters) {
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(Escaped(std::string("a\x01" "b\x00" "c", 5)), "a" + r + "b" + r + "c");
    EXPECT_EQ(Escaped("Z\xFCrich"), "Z" + r + "rich");          // Latin-1 byte
    EXPECT_EQ(Escaped("\xC0\xAF"), r + r);                       // overlong "/"
    EXPECT_EQ(Escaped("\xED\xA0\x80"), r + r + r);               // surrogate
    EXPECT_EQ(Escaped("\xF4\x90\x80\x80"), r + r + r + r);       // above U+10FFFF
    EXPECT_EQ(Escaped("ok\xE2\x82"), "ok" + r + r);              // cut short at the end
    EXPECT_EQ(Escaped("\xE2\x82<"), r + r + "&lt;");
}

TEST(Clock, SourceDateEpochStandsInForTheSystemClock) {
    ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "1700000000", 1), 0);
    EXPECT_EQ(CurrentUtcTime(), 1700000000);
    EXPECT_EQ(Fields(CurrentUtcDateTime()), std::tuple(2023, 11, 14, 22, 13, 20));
    // Something that is not a number leaves the system clock in charge.
    ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "soon", 1), 0);
    EXPECT_GT(CurrentUtcTime(), 1700000000);
    unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_GT(CurrentUtcTime(), 1700000000);
}

TEST(Clock, CalendarFieldsAcrossLeapDaysAndBefore1970) {
    EXPECT_EQ(Fields(UtcFromTime(951782400)), std::tuple(2000, 2, 29, 0, 0, 0));
    EXPECT_EQ(Fields(UtcFromTime(-1)), std::tuple(1969, 12, 31, 23, 59, 59));
}

}  // namespace
}  // namespace ferolin
