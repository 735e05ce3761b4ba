#include "platform/hooklibrary.h"
#include "platform/hookmessagefilter.h"
#include "platform/testhookmemory.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <dlfcn.h>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

using namespace tavrel;
using namespace tavrel::platform;

namespace {

// A name of its own per use, so that tests never touch a running program's "/TestHook".
std::string freshName()
{
    static int counter = 0;
    return "/tavrel-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

bool exists(const std::string& name)
{
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

struct Object {
    bool found = false;
    mode_t mode = 0;
    off_t size = 0;
    ino_t inode = 0;
    std::string bytes;
};

Object objectNamed(const std::string& name)
{
    Object object;
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return object;
    struct stat st {};
    fstat(fd, &st);
    object.found = true;
    object.mode = st.st_mode & 07777;
    object.size = st.st_size;
    object.inode = st.st_ino;
    char bytes[16] = {};
    object.bytes.assign(bytes, size_t(std::max<ssize_t>(0, pread(fd, bytes, sizeof bytes, 0))));
    close(fd);
    return object;
}

// The window id the object holds, from its first four bytes.
quint32 windowIn(const std::string& name)
{
    const std::string bytes = objectNamed(name).bytes;
    if (bytes.size() < 4)
        return 0;
    return quint8(bytes[0]) | quint32(quint8(bytes[1])) << 8 | quint32(quint8(bytes[2])) << 16
           | quint32(quint8(bytes[3])) << 24;
}

// The bytes a memory must hold: the window id, then the token, little-endian.
std::string recordBytes(quint32 window, quint64 token)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char(window >> (8 * i));
    for (int i = 0; i < 8; ++i)
        bytes += char(token >> (8 * i));
    return bytes;
}

// Leaves an object behind as another program would have.
void leaveObject(const std::string& name, mode_t mode, uid_t owner)
{
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, mode);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchmod(fd, mode), 0);
    if (owner != geteuid()) {
        ASSERT_EQ(fchown(fd, owner, owner), 0);
    }
    close(fd);
}

IoResult::Status setUpError(quint32 windowId, const std::vector<std::string>& folders, const std::string& name)
{
    const KeyboardHook hook = setUpKeyboardHook(windowId, folders, name.c_str());
    EXPECT_EQ(hook.outcome.ok(), hook.library && hook.memory);
    return hook.outcome.status;
}

const std::string Fakes = FAKE_HOOK_FOLDER;

}  // namespace

TEST(TestHookMemory, NameIsPerUser)
{
    EXPECT_EQ(testHookName(1000), "/TestHook.1000");
    EXPECT_EQ(testHookName(0), "/TestHook.0");
    EXPECT_EQ(testHookName(), "/TestHook." + std::to_string(geteuid()));
}

TEST(TestHookMemory, CreatedPrivateWithWindowAndTokenLittleEndianAndRemovedAtTheEnd)
{
    const std::string name = freshName();
    quint64 firstToken = 0;
    {
        auto memory = TestHookMemory::create(name.c_str());
        ASSERT_TRUE(memory);
        ASSERT_TRUE(memory->store(0x04A3B2C1));
        firstToken = memory->token();
        EXPECT_NE(firstToken, 0u);
        const Object object = objectNamed(name);
        EXPECT_EQ(object.mode, mode_t(0600));
        EXPECT_EQ(object.size, off_t(12));
        EXPECT_EQ(object.bytes.substr(0, 4), std::string("\xC1\xB2\xA3\x04", 4));
        EXPECT_EQ(object.bytes, recordBytes(0x04A3B2C1, firstToken));
    }
    EXPECT_FALSE(exists(name));

    // Every run draws a token of its own.
    auto next = TestHookMemory::create(name.c_str());
    ASSERT_TRUE(next);
    EXPECT_NE(next->token(), firstToken);
    EXPECT_NE(next->token(), 0u);
}

TEST(TestHookMemory, TakesOverItsOwnUsersObjectButNotOneOthersCouldHaveOpened)
{
    const struct {
        mode_t mode;
        bool reused;
    } cases[] = {
        {0600, true},
        {0644, false},  // readable by others: someone may hold it open to read the token
        {0620, false},  // writable by the group: someone may hold it open to change the window
        {0606, false},
    };
    for (const auto& c : cases) {
        const std::string name = freshName();
        leaveObject(name, c.mode, geteuid());
        // Opened, as anyone could while the mode let them, before the program takes over.
        const int held = shm_open(name.c_str(), O_RDONLY, 0);
        ASSERT_GE(held, 0);
        const ino_t leftInode = objectNamed(name).inode;

        auto memory = TestHookMemory::create(name.c_str());
        ASSERT_TRUE(memory) << std::oct << c.mode;
        ASSERT_TRUE(memory->store(7));
        const Object object = objectNamed(name);
        EXPECT_EQ(object.mode, c.reused ? c.mode : mode_t(0600)) << std::oct << c.mode;
        EXPECT_EQ(object.bytes, recordBytes(7, memory->token())) << std::oct << c.mode;
        EXPECT_EQ(object.inode == leftInode, c.reused) << std::oct << c.mode;

        char seen[TestHookSize] = {};
        const ssize_t n = pread(held, seen, sizeof seen, 0);
        if (!c.reused) {
            EXPECT_EQ(n, 0) << "the token reached an object others may hold open, mode " << std::oct << c.mode;
        }
        close(held);
    }
}

TEST(TestHookMemory, NeverReusesAnotherUsersObject)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to leave an object owned by another user";
    const std::string name = freshName();
    leaveObject(name, 0666, 65534);
    EXPECT_FALSE(TestHookMemory::create(name.c_str()));
    const Object object = objectNamed(name);
    EXPECT_EQ(object.size, off_t(0));
    shm_unlink(name.c_str());
}

TEST(TestHookMemory, LeavesTheNameToAnInstanceThatTookItOver)
{
    const std::string name = freshName();
    auto first = TestHookMemory::create(name.c_str());
    ASSERT_TRUE(first && first->store(1));
    auto second = TestHookMemory::create(name.c_str());
    ASSERT_TRUE(second && second->store(2));
    EXPECT_NE(first->token(), second->token());
    first.reset();
    EXPECT_EQ(objectNamed(name).bytes, recordBytes(2, second->token()));
    second.reset();
    EXPECT_FALSE(exists(name));
}

TEST(TestHookMemory, ReclaimsTheNameFromASecondInstance)
{
    const std::string name = freshName();
    auto first = TestHookMemory::create(name.c_str());
    ASSERT_TRUE(first && first->store(1));
    const std::string firstRecord = recordBytes(1, first->token());

    // A second instance takes the object over and, still running, loses it back.
    auto second = TestHookMemory::create(name.c_str());
    ASSERT_TRUE(second && second->store(2));
    EXPECT_TRUE(first->reclaim());
    EXPECT_EQ(objectNamed(name).bytes, firstRecord);
    second.reset();
    EXPECT_EQ(objectNamed(name).bytes, firstRecord);

    // A second instance that takes it over and ends removes the name; the first brings it back.
    second = TestHookMemory::create(name.c_str());
    ASSERT_TRUE(second && second->store(2));
    second.reset();
    EXPECT_FALSE(exists(name));
    EXPECT_TRUE(first->reclaim());
    const Object object = objectNamed(name);
    EXPECT_EQ(object.mode, mode_t(0600));
    EXPECT_EQ(object.bytes, firstRecord);
    EXPECT_TRUE(first->reclaim());

    first.reset();
    EXPECT_FALSE(exists(name));
}

TEST(HookLibrary, StartUpErrors)
{
    const struct {
        const char* title;
        std::vector<std::string> folders;
        std::string name;
        IoResult::Status error;
    } cases[] = {
        {"no library", {"/nonexistent-tavrel-folder/", Fakes + "/"}, freshName(), IoResult::Status::HookLibraryMissing},
        {"no folder at all", {}, freshName(), IoResult::Status::HookLibraryMissing},
        {"no entry points", {Fakes + "/none/"}, freshName(), IoResult::Status::HookEntryPointsMissing},
        {"HookOff missing", {Fakes + "/on-only/"}, freshName(), IoResult::Status::HookEntryPointsMissing},
        {"first library found wins",
         {Fakes + "/none/", Fakes + "/both/"},
         freshName(),
         IoResult::Status::HookEntryPointsMissing},
        {"memory name not allowed", {Fakes + "/both/"}, "/tavrel/nested", IoResult::Status::SharedMemoryFailed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(setUpError(1, c.folders, c.name), c.error) << c.title;
        EXPECT_FALSE(exists(c.name)) << c.title;
    }
}

TEST(HookLibrary, FoldersToLookInFromTheProgramFolderThenTheInstalledOne)
{
    const struct {
        const char* title;
        std::string programFolder;
        std::string installedFolder;
        std::vector<std::string> folders;
    } cases[] = {
        {"build tree",
         "/home/dev/tavrel/build/bin/",
         "../lib/tavrel/",
         {"/home/dev/tavrel/build/bin/", "/home/dev/tavrel/build/lib/tavrel/"}},
        {"package", "/usr/bin/", "../lib/tavrel", {"/usr/bin/", "/usr/lib/tavrel/"}},
        {"multiarch library folder",
         "/usr/bin/",
         "../lib/x86_64-linux-gnu/tavrel",
         {"/usr/bin/", "/usr/lib/x86_64-linux-gnu/tavrel/"}},
        {"moved tree, no separator",
         "/tmp/root/usr/bin",
         "../lib/tavrel/",
         {"/tmp/root/usr/bin/", "/tmp/root/usr/lib/tavrel/"}},
        {"absolute library folder", "/opt/t/bin/", "/srv/t/lib", {"/opt/t/bin/", "/srv/t/lib/"}},
        {"library beside the program", "/opt/t/", ".", {"/opt/t/"}},
        {"nothing installed apart", "/opt/t/", "", {"/opt/t/"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hookLibraryFolders(c.programFolder, c.installedFolder), c.folders) << c.title;

    // The program's own folder comes first, so that a build tree uses the library built beside it.
    EXPECT_EQ(hookLibraryFolders().front(), executableFolder());
}

TEST(HookLibrary, LoadsFromALaterFolderWhenTheFirstHasNoLibrary)
{
    const std::string name = freshName();
    EXPECT_EQ(setUpError(1, {Fakes + "/", "/nonexistent-tavrel-folder/", Fakes + "/both/"}, name),
              IoResult::Status::Ok);
    EXPECT_FALSE(exists(name));
}

TEST(HookLibrary, SharedMemoryHeldByAnotherUserIsAStartUpError)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to leave an object owned by another user";
    const std::string name = freshName();
    leaveObject(name, 0600, 65534);
    EXPECT_EQ(setUpError(1, {Fakes + "/both/"}, name), IoResult::Status::SharedMemoryFailed);
    shm_unlink(name.c_str());
}

TEST(HookLibrary, LoadsByFullPathAndCallsTheEntryPoints)
{
    const std::string name = freshName();
    KeyboardHook hook = setUpKeyboardHook(0x00C0FFEE, {Fakes + "/both/"}, name.c_str());
    ASSERT_TRUE(hook.library && hook.memory);
    EXPECT_EQ(objectNamed(name).bytes, recordBytes(0x00C0FFEE, hook.memory->token()));

    void* same = dlopen((Fakes + "/both/libMorvik.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(same);
    const int* calls = static_cast<const int*>(dlsym(same, "fakeHookCalls"));
    ASSERT_TRUE(calls);
    hook.library->HookOn();
    hook.library->HookOff();
    hook.library->HookOff();
    EXPECT_EQ(*calls, 201);
    dlclose(same);

    hook = {};
    EXPECT_FALSE(exists(name));
}

namespace {

// What a loaded fake hook library counts and was told.
struct FakeHook {
    void* handle = nullptr;
    const int* calls = nullptr;
    const char* memory = nullptr;  // the name HookUseSharedMemory was last given

    explicit FakeHook(const std::string& variant)
    {
        handle = dlopen((Fakes + "/" + variant + "/libMorvik.so").c_str(), RTLD_NOW);
        if (!handle)
            return;
        calls = static_cast<const int*>(dlsym(handle, "fakeHookCalls"));
        memory = static_cast<const char*>(dlsym(handle, "fakeHookSharedMemory"));
    }
    ~FakeHook()
    {
        if (handle)
            dlclose(handle);
    }
    FakeHook(const FakeHook&) = delete;
    FakeHook& operator=(const FakeHook&) = delete;
};

// What someone else leaves under the name before the program takes it.
enum class Holder { AnotherUser, NotAnObject };

// Leaves it; false (with the reason printed) when this user cannot.
bool hold(const std::string& name, Holder holder)
{
    if (holder == Holder::AnotherUser) {
        if (geteuid() != 0) {
            std::cout << "skipped a case of another user's object: needs root\n";
            return false;
        }
        leaveObject(name, 0600, 65534);
        return true;
    }
    return mkdir(("/dev/shm" + name).c_str(), 0700) == 0;
}

void release(const std::string& name, Holder holder)
{
    if (holder == Holder::AnotherUser)
        shm_unlink(name.c_str());
    else
        rmdir(("/dev/shm" + name).c_str());
}

}  // namespace

// Another user can create "/TestHook.<uid>" first. A library that can be told another name then
// reads the window from an object only this process knows; without that, start-up says so.
TEST(HookLibrary, ANameSomeoneElseHoldsAtStartUpIsReplacedByOneOfOurOwn)
{
    const struct {
        const char* title;
        Holder holder;
        const char* library;
        bool works;
    } cases[] = {
        {"another user's object, a library that can be told a name", Holder::AnotherUser, "named", true},
        {"a folder in its place, a library that can be told a name", Holder::NotAnObject, "named", true},
        {"another user's object, a library that reads TestHook only", Holder::AnotherUser, "both", false},
        {"a folder in its place, a library that reads TestHook only", Holder::NotAnObject, "both", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string name = freshName();
        if (!hold(name, c.holder))
            continue;
        if (!c.works) {
            EXPECT_EQ(setUpError(0x00C0FFEE, {Fakes + "/" + c.library + "/"}, name),
                      IoResult::Status::SharedMemoryFailed);
            release(name, c.holder);
            continue;
        }
        const FakeHook fake(c.library);
        ASSERT_TRUE(fake.calls && fake.memory);
        KeyboardHook hook = setUpKeyboardHook(0x00C0FFEE, {Fakes + "/" + c.library + "/"}, name);
        ASSERT_TRUE(hook.library && hook.memory);
        const std::string own = hook.memory->name();
        EXPECT_EQ(own.rfind(name + ".", 0), 0u) << own;
        EXPECT_EQ(own.size(), name.size() + 17) << own;
        const Object object = objectNamed(own);
        EXPECT_EQ(object.mode, mode_t(0600));
        EXPECT_EQ(object.bytes, recordBytes(0x00C0FFEE, hook.memory->token()));

        const int before = *fake.calls;
        EXPECT_TRUE(switchCaptureOn(*hook.library, hook.memory.get()));
        EXPECT_EQ(*fake.calls - before, 1) << "HookOn calls";
        EXPECT_EQ(std::string(fake.memory), own) << "the name the library was told";
        hook = {};
        EXPECT_FALSE(exists(own)) << "left behind";
        release(name, c.holder);
    }
}

TEST(HookLibrary, CaptureStartsOnlyWhenTheNameStandsForTheWindow)
{
    enum class Name { StillOurs, TakenBySecondInstance, Removed, HeldByAnotherUser, NotAnObject };
    const struct {
        const char* title;
        Name name;
        const char* library;
        bool on;
        bool ownName;  // read from a name of this process's own
    } cases[] = {
        {"still ours", Name::StillOurs, "both", true, false},
        {"taken over by a second instance", Name::TakenBySecondInstance, "both", true, false},
        {"removed by a second instance on its way out", Name::Removed, "both", true, false},
        // Another user who took the name could otherwise have the keys sent to their window.
        {"held by another user", Name::HeldByAnotherUser, "both", false, false},
        {"held by something that is not an object", Name::NotAnObject, "both", false, false},
        // A library that can be told another name goes on with one only this process knows.
        {"still ours, a library that can be told a name", Name::StillOurs, "named", true, false},
        {"held by another user, a library that can be told a name", Name::HeldByAnotherUser, "named", true, true},
        {"not an object, a library that can be told a name", Name::NotAnObject, "named", true, true},
    };
    for (const auto& c : cases) {
        if (c.name == Name::HeldByAnotherUser && geteuid() != 0) {
            std::cout << "skipped \"" << c.title << "\": needs root\n";
            continue;
        }
        SCOPED_TRACE(c.title);
        const FakeHook fake(c.library);
        ASSERT_TRUE(fake.calls);
        const std::string name = freshName();
        const std::string folder = "/dev/shm" + name;
        KeyboardHook hook = setUpKeyboardHook(0x00C0FFEE, {Fakes + "/" + c.library + "/"}, name);
        std::unique_ptr<TestHookMemory> second;
        switch (c.name) {
        case Name::StillOurs:
            break;
        case Name::TakenBySecondInstance:
            second = TestHookMemory::create(name);
            ASSERT_TRUE(second && second->store(2));
            break;
        case Name::Removed:
            ASSERT_EQ(shm_unlink(name.c_str()), 0);
            break;
        case Name::HeldByAnotherUser:
            ASSERT_EQ(shm_unlink(name.c_str()), 0);
            leaveObject(name, 0600, 65534);
            break;
        case Name::NotAnObject:
            ASSERT_EQ(shm_unlink(name.c_str()), 0);
            ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
            break;
        }

        const int before = *fake.calls;
        EXPECT_EQ(switchCaptureOn(*hook.library, hook.memory.get()), c.on);
        EXPECT_EQ(*fake.calls - before, c.on ? 1 : 0) << "HookOn calls";
        const std::string read = hook.memory->name();
        EXPECT_EQ(read != name, c.ownName) << read;
        if (c.on) {
            EXPECT_EQ(windowIn(read), 0x00C0FFEEu);
        }
        if (fake.memory) {
            EXPECT_EQ(std::string(fake.memory), c.on ? read : std::string()) << "the name the library was told";
        }

        hook = {};
        second.reset();
        EXPECT_FALSE(c.ownName && exists(read)) << "left behind";
        if (c.name == Name::NotAnObject)
            rmdir(folder.c_str());
        else
            shm_unlink(name.c_str());
    }

    // Without a memory there is no window to send the keys to.
    const FakeHook fake("both");
    ASSERT_TRUE(fake.calls);
    const KeyboardHook hook = setUpKeyboardHook(1, {Fakes + "/both/"}, freshName());
    const int before = *fake.calls;
    EXPECT_FALSE(switchCaptureOn(*hook.library, nullptr));
    EXPECT_EQ(*fake.calls, before);
}

TEST(HookLibrary, ExecutableFolderEndsWithASeparator)
{
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const std::string path = exe;
    EXPECT_EQ(executableFolder(), path.substr(0, path.rfind('/') + 1));
}

namespace {

constexpr quint64 Token = 0x8877665544332211;

xcb_client_message_event_t clientMessage(quint32 type, quint32 m, quint32 w, quint32 l, quint64 token = Token)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE | 0x80;
    event.format = 32;
    event.window = 0x400001;
    event.type = type;
    event.data.data32[0] = m;
    event.data.data32[1] = w;
    event.data.data32[2] = l;
    event.data.data32[3] = quint32(token);
    event.data.data32[4] = quint32(token >> 32);
    return event;
}

}  // namespace

TEST(HookMessageFilter, RecognisesOnlyItsOwnClientMessagesWithTheToken)
{
    const quint32 atom = 321;
    const auto ours = clientMessage(atom, 0x1400, 256, 0xC01E0001);
    auto otherType = clientMessage(atom + 1, 0x1400, 256, 0xC01E0001);
    auto eightBit = clientMessage(atom, 0x1400, 256, 0xC01E0001);
    eightBit.format = 8;
    auto notClient = clientMessage(atom, 0x1400, 256, 0xC01E0001);
    notClient.response_type = XCB_KEY_PRESS;
    auto direct = clientMessage(atom, 0x2400, 257, 0);
    direct.response_type = XCB_CLIENT_MESSAGE;

    EXPECT_EQ(hookMessageFromXcbEvent(&ours, atom, Token), (HookMessage{0x1400, 256, 0xC01E0001}));
    EXPECT_EQ(hookMessageFromXcbEvent(&direct, atom, Token), (HookMessage{0x2400, 257, 0}));
    EXPECT_FALSE(hookMessageFromXcbEvent(&otherType, atom, Token));
    EXPECT_FALSE(hookMessageFromXcbEvent(&eightBit, atom, Token));
    EXPECT_FALSE(hookMessageFromXcbEvent(&notClient, atom, Token));
    EXPECT_FALSE(hookMessageFromXcbEvent(&ours, 0, Token));
    EXPECT_FALSE(hookMessageFromXcbEvent(nullptr, atom, Token));

    // Any X client can send the window a message of this type; only the library knows the token.
    const struct {
        const char* title;
        quint64 carried;
        quint64 expected;
    } tokens[] = {
        {"none", 0, Token},
        {"low half only", Token & 0xFFFFFFFF, Token},
        {"high half only", Token & ~quint64(0xFFFFFFFF), Token},
        {"halves swapped", Token >> 32 | Token << 32, Token},
        {"one bit off", Token ^ (quint64(1) << 63), Token},
        {"none, where the program has none either", 0, 0},
    };
    for (const auto& t : tokens) {
        const auto forged = clientMessage(atom, 0x1400, 256, 0xC01E0001, t.carried);
        EXPECT_FALSE(hookMessageFromXcbEvent(&forged, atom, t.expected)) << t.title;
    }
}

TEST(HookMessageFilter, HandsMessagesOnAndSwallowsThem)
{
    std::vector<HookMessage> received;
    HookMessageFilter filter(321, Token, [&](const HookMessage& m) { received.push_back(m); });
    auto key = clientMessage(321, 0x1400, 256, 0x001E0001);
    auto lwin = clientMessage(321, 0x2400, 999, 0);
    auto other = clientMessage(5, 0x1400, 256, 0x001E0001);
    auto forged = clientMessage(321, 0x1400, 256, 0x001E0002, Token + 1);

    EXPECT_TRUE(filter.nativeEventFilter("xcb_generic_event_t", &key, nullptr));
    EXPECT_TRUE(filter.nativeEventFilter("xcb_generic_event_t", &lwin, nullptr));
    EXPECT_FALSE(filter.nativeEventFilter("xcb_generic_event_t", &other, nullptr));
    EXPECT_FALSE(filter.nativeEventFilter("windows_generic_MSG", &key, nullptr));
    // A forged message is swallowed too, unseen by the handler.
    EXPECT_TRUE(filter.nativeEventFilter("xcb_generic_event_t", &forged, nullptr));
    EXPECT_EQ(received, (std::vector<HookMessage>{{0x1400, 256, 0x001E0001}, {0x2400, 999, 0}}));
}

TEST(HookMessageFilter, WithoutADisplayRecognisesNothing)
{
    EXPECT_EQ(internHookMessageAtom(":9999"), 0u);
    HookMessageFilter filter(0, Token, [](const HookMessage&) { FAIL(); });
    auto key = clientMessage(0, 0x1400, 256, 0x001E0001);
    EXPECT_FALSE(filter.nativeEventFilter("xcb_generic_event_t", &key, nullptr));
}
