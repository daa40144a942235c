#include "export/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/TestFiles.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

TEST(SafeFile, ReplacesWholeAndLeavesDevicesWhereTheyAre) {
    test::TempDir dir;
    const std::string path = dir.File("out.txt");
    test::WriteFile(path, "old");
    fs::permissions(path, fs::perms(0640));
    ASSERT_TRUE(WriteFileSafely(path, "new").Ok());
    EXPECT_EQ(test::ReadFile(path), "new");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));  // the replaced file's rights
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

    // A writer's failure is a failure: nothing takes the file's place.
    const FileWriteResult failed =
        WriteFileSafely(path, [](std::FILE*) { return std::string("the frame was lost"); });
    EXPECT_EQ(failed.Error, "can't write \"" + path + "\": the frame was lost");
    EXPECT_EQ(test::ReadFile(path), "new");

    // A device is written, never replaced by a file of that name.
    EXPECT_TRUE(WriteFileSafely("/dev/null", "x").Ok());
    struct stat st {};
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    const FileWriteResult folder = WriteFileSafely(dir.Path(), "x");
    EXPECT_TRUE(folder.NotCreated);
    EXPECT_EQ(folder.Reason, "Is a directory");
}

}  // namespace
}  // namespace tarsel
