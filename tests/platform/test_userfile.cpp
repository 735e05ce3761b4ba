// The one writer and the one reader of the user's files. The path comes from the user, a file
// dialog or the environment, so whatever stands there (a link, a FIFO, a device) and whoever can
// write the folder must not turn a write into one somewhere else, nor a read into a wait.

#include "config/configfile.h"
#include "platform/privatefile.h"
#include "platform/userfile.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavrel;
using namespace tavrel::platform;

namespace tavrel {
void PrintTo(const IoResult& outcome, std::ostream* os)
{
    *os << "{status " << int(outcome.status) << ", errno " << outcome.error << "}";
}
// Two outcomes are alike when their status and errno are: the message is for the log.
bool operator==(const IoResult& a, const IoResult& b)
{
    return a.status == b.status && a.error == b.error;
}
}  // namespace tavrel

namespace {

class UserFile : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tavrel-userfile-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        m_root = pattern;
        m_umask = umask(022);
    }
    void TearDown() override
    {
        umask(m_umask);
        std::filesystem::remove_all(m_root);
    }

    // A folder of the fixture with that mode.
    std::string folder(const std::string& name, mode_t mode = 0700) const
    {
        const std::string path = m_root + "/" + name;
        EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }

    static void put(const std::string& path, const std::string& text, mode_t mode = 0644)
    {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
        ASSERT_EQ(fchmod(fd, mode), 0);
        close(fd);
    }

    static std::string contents(const std::string& path)
    {
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return "(none)";
        std::string text;
        char buffer[4096];
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

TEST_F(UserFile, WriterReplacesOnlyARegularFileAndNeverFollowsALink)
{
    enum class There { Nothing, RegularFile, Link, DanglingLink, Folder, Fifo };
    const struct {
        const char* title;
        There there;
        IoResult outcome;
        mode_t mode;  // of what stands at the path afterwards
    } cases[] = {
        {"nothing: a new file, 0666 less the umask", There::Nothing, IoResult::success(), S_IFREG | 0644},
        {"a regular file: replaced, its permissions kept", There::RegularFile, IoResult::success(), S_IFREG | 0600},
        {"a link to a file of the user's", There::Link, IoResult::failure(IoResult::Status::IsLink), S_IFLNK | 0777},
        {"a link to nothing yet", There::DanglingLink, IoResult::failure(IoResult::Status::IsLink), S_IFLNK | 0777},
        {"a folder", There::Folder, IoResult::failure(IoResult::Status::IsFolder), S_IFDIR | 0755},
        // Opening it for writing would wait for a reader.
        {"a FIFO", There::Fifo, IoResult::failure(IoResult::Status::IsPipe), S_IFIFO | 0644},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string dir = folder(std::to_string(int(c.there)));
        const std::string path = dir + "/keys.json";
        const std::string victim = m_root + "/profile-" + std::to_string(int(c.there));
        put(victim, "keep me\n");
        switch (c.there) {
        case There::Nothing:
            break;
        case There::RegularFile:
            put(path, "an older and longer text\n", 0600);
            break;
        case There::Link:
            ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
            break;
        case There::DanglingLink:
            ASSERT_EQ(unlink(victim.c_str()), 0);
            ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
            break;
        case There::Folder:
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
            break;
        case There::Fifo:
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            break;
        }

        EXPECT_EQ(writeUserFile(path, "{}\n"), c.outcome);
        EXPECT_EQ(modeOf(path), c.mode);
        if (c.outcome.ok()) {
            EXPECT_EQ(contents(path), "{}\n");
        }
        EXPECT_EQ(contents(victim), c.there == There::DanglingLink ? "(none)" : "keep me\n");
        EXPECT_EQ(entries(dir), std::set<std::string>{"keys.json"}) << "nothing left beside it";
    }
}

TEST_F(UserFile, WriterRefusesAFolderOthersMayWriteUnlessSticky)
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
        const std::string path = dir + "/keys.json";
        put(path, "before\n", 0600);
        const IoResult outcome = writeUserFile(path, "after\n");
        EXPECT_EQ(outcome, c.written ? IoResult::success() : IoResult::failure(IoResult::Status::FolderOpenToAll))
            << c.name;
        EXPECT_EQ(contents(path), c.written ? "after\n" : "before\n") << c.name;
        EXPECT_EQ(entries(dir), std::set<std::string>{"keys.json"}) << c.name;
    }
}

TEST_F(UserFile, WriterNamesWhatIsWrongWithThePath)
{
    const std::string dir = folder("paths");
    put(dir + "/plain", "");
    const struct {
        std::string path;
        IoResult outcome;
    } cases[] = {
        {dir + "/no-such-folder/keys.json", IoResult::fromErrno(ENOENT)},
        {dir + "/plain/keys.json", IoResult::failure(IoResult::Status::NotAFolder)},
        {dir + "/", IoResult::failure(IoResult::Status::NotAFileName)},
        {"", IoResult::failure(IoResult::Status::NotAFileName)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(writeUserFile(c.path, "{}\n"), c.outcome) << c.path;
    EXPECT_EQ(entries(dir), std::set<std::string>{"plain"});
}

TEST_F(UserFile, PrivateFileIsForItsUserWhateverTheUmask)
{
    umask(0);
    const std::string dir = folder("private");
    const std::string path = dir + "/state.txt";
    for (const char* text : {"first\n", "second\n"}) {
        EXPECT_TRUE(writePrivateFile(path, text).ok());
        EXPECT_EQ(contents(path), text);
        EXPECT_EQ(modeOf(path), mode_t(S_IFREG | 0600));
        // One left readable to all is replaced, not rewritten in place.
        chmod(path.c_str(), 0644);
    }
}

TEST_F(UserFile, ReaderTakesARegularFileUpToTheLimitAndRefusesAnythingElseAtOnce)
{
    const std::string dir = folder("read");
    const std::string largest(std::size_t(configfile::MaxFileBytes), ' ');
    put(dir + "/keys.json", "{}\n");
    put(dir + "/largest.json", largest);
    put(dir + "/oversize.json", largest + " ");
    ASSERT_EQ(symlink((dir + "/keys.json").c_str(), (dir + "/link.json").c_str()), 0);
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        IoResult outcome;
        std::string bytes;
    } cases[] = {
        {dir + "/keys.json", IoResult::success(), "{}\n"},
        {dir + "/largest.json", IoResult::success(), largest},
        {dir + "/oversize.json", IoResult::failure(IoResult::Status::TooLarge), ""},
        // Reading through a link changes nothing; what it points to is checked as any file.
        {dir + "/link.json", IoResult::success(), "{}\n"},
        // Endless, and of size 0: never read.
        {"/dev/zero", IoResult::failure(IoResult::Status::IsDevice), ""},
        // Would wait for a writer that never comes.
        {dir + "/fifo", IoResult::failure(IoResult::Status::IsPipe), ""},
        {dir, IoResult::failure(IoResult::Status::IsFolder), ""},
        {dir + "/missing.json", IoResult::fromErrno(ENOENT), ""},
    };
    for (const auto& c : cases) {
        const FileRead read = readUserFile(c.path, configfile::MaxFileBytes);
        EXPECT_EQ(read.outcome, c.outcome) << c.path;
        EXPECT_TRUE(read.bytes.toStdString() == c.bytes) << c.path << ": " << read.bytes.size() << " bytes";
    }
}
