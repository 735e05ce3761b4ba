// The private file writer behind the state snapshot: the path is named by the environment, so
// whatever stands there (a link, another file) and whoever can write the folder must not turn
// the write into one somewhere else or one others can read.

#include "platform/privatefile.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavrel::platform;

namespace {

class PrivateFile : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tavrel-privatefile-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        m_root = pattern;
        // Writing must not depend on a umask that happens to be strict.
        m_umask = umask(0);
    }
    void TearDown() override
    {
        umask(m_umask);
        std::filesystem::remove_all(m_root);
    }

    // A folder of the fixture with that mode.
    std::string folder(const std::string& name, mode_t mode) const
    {
        const std::string path = m_root + "/" + name;
        EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }

    static void put(const std::string& path, const std::string& text, mode_t mode)
    {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
        ASSERT_EQ(fchmod(fd, mode), 0);
        close(fd);
    }

    static std::string contents(const std::string& path)
    {
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW);
        if (fd < 0)
            return "(none)";
        std::string text;
        char buffer[256];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, std::size_t(n));
        close(fd);
        return text;
    }

    static std::set<std::string> entries(const std::string& path)
    {
        std::set<std::string> names;
        if (DIR* dir = opendir(path.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.insert(name);
            }
            closedir(dir);
        }
        return names;
    }

    static mode_t modeOf(const std::string& path)
    {
        struct stat st {};
        return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
    }

    std::string m_root;
    mode_t m_umask = 0;
};

}  // namespace

TEST_F(PrivateFile, WrittenWholeForItsUserOnlyAndNothingLeftBeside)
{
    const std::string dir = folder("private", 0700);
    const std::string path = dir + "/state.txt";

    const PrivateFileResult first = writePrivateFile(path, "first\n");
    EXPECT_TRUE(first.written) << first.why;
    EXPECT_EQ(contents(path), "first\n");
    EXPECT_EQ(modeOf(path), mode_t(S_IFREG | 0600));

    // A file someone left readable to all is replaced, not rewritten in place.
    put(path, "an older and longer text\n", 0644);
    const PrivateFileResult second = writePrivateFile(path, "second\n");
    EXPECT_TRUE(second.written) << second.why;
    EXPECT_EQ(contents(path), "second\n");
    EXPECT_EQ(modeOf(path), mode_t(S_IFREG | 0600));
    EXPECT_EQ(entries(dir), std::set<std::string>{"state.txt"});
}

TEST_F(PrivateFile, LinkAtThePathIsReplacedNeverFollowed)
{
    const std::string dir = folder("private", 0700);
    const std::string victim = dir + "/victim";
    put(victim, "keep me\n", 0644);
    const std::string missing = dir + "/created-through-the-link";

    for (const std::string& target : {victim, missing}) {
        const std::string path = dir + "/state.txt";
        unlink(path.c_str());
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        const PrivateFileResult result = writePrivateFile(path, "snapshot\n");
        EXPECT_TRUE(result.written) << result.why;
        EXPECT_EQ(contents(path), "snapshot\n") << target;
        EXPECT_EQ(modeOf(path), mode_t(S_IFREG | 0600)) << target;
    }
    EXPECT_EQ(contents(victim), "keep me\n");
    EXPECT_EQ(modeOf(victim), mode_t(S_IFREG | 0644));
    EXPECT_EQ(contents(missing), "(none)");
}

TEST_F(PrivateFile, FolderOthersMayWriteIsRefusedUnlessSticky)
{
    const struct {
        const char* name;
        mode_t mode;
        bool written;
    } cases[] = {
        {"open-to-all", 0777, false},
        {"writable-by-others", 0703, false},
        {"sticky-like-tmp", 01777, true},
        {"readable-by-all", 0755, true},
    };
    for (const auto& c : cases) {
        const std::string dir = folder(c.name, c.mode);
        const std::string path = dir + "/state.txt";
        put(path, "before\n", 0600);
        const PrivateFileResult result = writePrivateFile(path, "after\n");
        EXPECT_EQ(result.written, c.written) << c.name;
        EXPECT_EQ(contents(path), c.written ? "after\n" : "before\n") << c.name;
        EXPECT_EQ(entries(dir), std::set<std::string>{"state.txt"}) << c.name;
        if (!c.written) {
            EXPECT_NE(result.why.find(dir), std::string::npos) << result.why;
            EXPECT_NE(result.why.find("sticky"), std::string::npos) << result.why;
        }
    }
}

TEST_F(PrivateFile, PathsThatCannotBeWrittenSayWhy)
{
    const std::string dir = folder("private", 0700);
    put(dir + "/plain", "", 0600);
    for (const std::string& path : {dir + "/no-such-folder/state.txt", dir + "/plain/state.txt", dir + "/", std::string()}) {
        const PrivateFileResult result = writePrivateFile(path, "snapshot\n");
        EXPECT_FALSE(result.written) << path;
        EXPECT_FALSE(result.why.empty()) << path;
    }
    EXPECT_EQ(entries(dir), std::set<std::string>{"plain"});
}
