#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/output_file.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;


TEST(OutputFile, ReplacesTheTargetOnlyWhenCommitted) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    WriteFile(path, "before");
    chmod(path.c_str(), 0640);
    {
        OutputFile file;
        ASSERT_TRUE(file.Create(path));
        file.Write("half");
        EXPECT_EQ(ReadFile(path), "before");
        // Dropped without Commit: the target stays, the temporary goes.
    }
    EXPECT_EQ(ReadFile(path), "before");
    EXPECT_EQ(CountFiles(dir.path()), 1);

    OutputFile file;
    ASSERT_TRUE(file.Create(path));
    std::string big;
    for (int i = 0; i < 100000; ++i) {
        file.Write("line of text\r\n");
        big += "line of text\r\n";
        file.Flush();
    }
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(path), big);
    EXPECT_EQ(CountFiles(dir.path()), 1);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);  // the replaced file keeps its permissions
}

TEST(OutputFile, ASymbolicLinkKeepsPointingAtTheNewContents) {
    TempDir dir;
    const std::string real = dir.File("real.txt");
    const std::string link = dir.File("link.txt");
    WriteFile(real, "old");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    OutputFile file;
    ASSERT_TRUE(file.Create(link));
    file.Write("new");
    ASSERT_TRUE(file.Commit());
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFile(real), "new");
}

TEST(OutputFile, CreationAndWriteFailuresAreReported) {
    TempDir dir;
    OutputFile missing;
    EXPECT_FALSE(missing.Create(dir.File("no/folder/out.txt")));
    EXPECT_FALSE(missing.Commit());

    OutputFile full;
    ASSERT_TRUE(full.Create("/dev/full"));
    full.Write("data");
    EXPECT_FALSE(full.Commit());
}
