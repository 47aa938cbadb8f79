#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/clock.h"
#include "core/xml_text.h"

namespace ferolin {
namespace {

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
    const UtcDateTime t = CurrentUtcDateTime();  // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(t.year, 2023);
    EXPECT_EQ(t.month, 11);
    EXPECT_EQ(t.day, 14);
    EXPECT_EQ(t.hour, 22);
    EXPECT_EQ(t.minute, 13);
    EXPECT_EQ(t.second, 20);
    // Something that is not a number leaves the system clock in charge.
    ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "soon", 1), 0);
    EXPECT_GT(CurrentUtcTime(), 1700000000);
    unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_GT(CurrentUtcTime(), 1700000000);
}

TEST(Clock, CalendarFieldsAcrossLeapDaysAndBefore1970) {
    const UtcDateTime leap = UtcFromTime(951782400);  // 2000-02-29 00:00:00
    EXPECT_EQ(leap.year, 2000);
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
    const UtcDateTime before = UtcFromTime(-1);  // 1969-12-31 23:59:59
    EXPECT_EQ(before.year, 1969);
    EXPECT_EQ(before.month, 12);
    EXPECT_EQ(before.day, 31);
    EXPECT_EQ(before.hour, 23);
    EXPECT_EQ(before.second, 59);
}

}  // namespace
}  // namespace ferolin
