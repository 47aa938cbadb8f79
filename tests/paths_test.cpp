#include <gtest/gtest.h>

#include "core/paths.h"

using namespace ferolin;

TEST(Paths, ExtensionIsTextAfterTheLastFullStopOfTheWholePath) {
    EXPECT_EQ(FileExtension("track.log"), "log");
    EXPECT_EQ(FileExtension("TRACK.LOG"), "LOG");
    EXPECT_EQ(FileExtension("C:\\data.2007\\track"), "2007\\track");
    EXPECT_EQ(FileExtension("/home/a/trip"), "/home/a/trip");
    EXPECT_EQ(FileExtension("a.tar.gz"), "gz");
    EXPECT_EQ(FileExtension("name."), "");
}

TEST(Paths, DirectoryAndTitleAcceptBothSeparators) {
    EXPECT_EQ(FileDirectory("C:\\logs\\a.log"), "C:\\logs\\");
    EXPECT_EQ(FileDirectory("/data/logs/a.log"), "/data/logs/");
    EXPECT_EQ(FileDirectory("mixed/dir\\a.log"), "mixed/dir\\");
    EXPECT_EQ(FileDirectory("a.log"), "");
    EXPECT_EQ(FileTitle("C:\\logs\\walk.2007.log"), "walk.2007");
    EXPECT_EQ(FileTitle("/data/logs/a.log"), "a");
    EXPECT_EQ(FileTitle("/data.d/noext"), "noext");
    EXPECT_EQ(FileTitle("/dev/COM5.rbt"), "COM5");
}

TEST(Paths, ChangeExtensionReplacesAfterTheLastFullStop) {
    EXPECT_EQ(ChangeExtension("C:\\logs\\name.log", "gpx"), "C:\\logs\\name.gpx");
    EXPECT_EQ(ChangeExtension("/x/y.z/name", "txt"), "/x/y.txt");
    EXPECT_EQ(ChangeExtension("noext", "txt"), "txt");
    EXPECT_EQ(ChangeExtension("a.", "csv"), "a.csv");
}

TEST(Paths, WildcardsMatchStarAndQuestionMarkOnly) {
    EXPECT_TRUE(WildcardMatch("*.log", "a.log"));
    EXPECT_TRUE(WildcardMatch("*.log", ".log"));
    EXPECT_FALSE(WildcardMatch("*.log", "a.log.bak"));
    EXPECT_FALSE(WildcardMatch("*.log", "a.LOG"));
    EXPECT_TRUE(WildcardMatch("t?ip*.l*g", "trip-1.log"));
    EXPECT_FALSE(WildcardMatch("t?ip", "tip"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("a*b*c", "aXXbYYbZZc"));
    EXPECT_FALSE(WildcardMatch("[ab].log", "a.log"));
    EXPECT_TRUE(WildcardMatch("[ab].log", "[ab].log"));
}

TEST(Paths, CaseInsensitiveHelpers) {
    EXPECT_TRUE(EqualsIgnoreCase("GPX", "gpx"));
    EXPECT_FALSE(EqualsIgnoreCase("gpx", "gpxx"));
    EXPECT_EQ(ToUpper("nmea"), "NMEA");
}
