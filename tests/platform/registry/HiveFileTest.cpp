// The hive file: where it lives, malformed files kept aside, folders that cannot be
// written, concurrent writers and writers killed mid-write.
#include "platform/registry/HiveFile.h"
#include "platform/registry/Registry.h"
#include "support/TempRegistry.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vexol::platform::registry;
using namespace std::string_literals;
using vexol::test::TempRegistry;

namespace {

bool Exists(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

// Names in `folder` that start with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.starts_with(prefix)) {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    return names;
}

LONG CreateAndClose(const char* path)
{
    HKEY key = nullptr;
    const LONG r = RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key);
    if (key) {
        RegCloseKey(key);
    }
    return r;
}

LONG OpenAndClose(const char* path)
{
    HKEY key = nullptr;
    const LONG r = RegOpenKeyA(HKEY_LOCAL_MACHINE, path, &key);
    if (key) {
        RegCloseKey(key);
    }
    return r;
}

LONG SetDword(const char* path, const std::string& name, DWORD value)
{
    HKEY key = nullptr;
    LONG r = RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key);
    if (r == LONG(ERROR_SUCCESS)) {
        r = RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                           sizeof value);
        RegCloseKey(key);
    }
    return r;
}

std::optional<DWORD> DwordIn(const Hive& hive, const std::vector<std::string>& path,
                             const std::string& name)
{
    const RegistryKey* key = hive.Find(RootKey::LocalMachine, path);
    const RegistryValue* value = key ? key->FindValue(name) : nullptr;
    if (!value || value->type != REG_DWORD || value->data.size() != 4) {
        return std::nullopt;
    }
    return DWORD(value->data[0]) | (DWORD(value->data[1]) << 8) | (DWORD(value->data[2]) << 16) |
           (DWORD(value->data[3]) << 24);
}

// Sets an environment variable for one scope; null unsets it.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        if (m_old) {
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Runs `check` in a child process once `prepare` succeeded there, and returns what it
// reported; nullopt when `prepare` failed. A child that ends otherwise (a signal, an
// alarm that stopped a call which blocked) adds that to the report.
std::optional<std::string> RunInChild(const std::function<bool()>& prepare,
                                      const std::function<std::string()>& check)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (!prepare()) {
            ::_exit(3);
        }
        const std::string report = check();
        const ssize_t written = ::write(fds[1], report.data(), report.size());
        ::_exit(written == ssize_t(report.size()) ? 0 : 4);
    }
    ::close(fds[1]);
    std::string report;
    char chunk[512];
    ssize_t n;
    while ((n = ::read(fds[0], chunk, sizeof chunk)) > 0) {
        report.append(chunk, std::size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) {
        return std::nullopt;
    }
    if (WIFSIGNALED(status)) {
        report += "; blocked or crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    } else if (WEXITSTATUS(status) != 0) {
        report += "; child ended abnormally";
    }
    return report;
}

// Runs `check` as a user whom file permissions restrict and returns what it reported
// (empty when all went well). As root, whom permissions do not stop, it runs in a
// child process that drops to the unprivileged uid 65534; nullopt when that fails.
std::optional<std::string> RunUnprivileged(const std::function<std::string()>& check)
{
    if (::geteuid() != 0) {
        return check();
    }
    return RunInChild(
        [] { return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0; },
        check);
}

// Runs `check` in a child process that an alarm ends after five seconds, so that a
// call that blocks fails the test instead of hanging it.
std::string RunWithDeadline(const std::function<std::string()>& check)
{
    return RunInChild(
               [] {
                   ::alarm(5);
                   return true;
               },
               check)
        .value_or("the child could not start");
}

// Collects the failures of a check that runs in another process.
struct Report
{
    std::string text;
    void Expect(bool ok, const std::string& what)
    {
        if (!ok) {
            text += what + "; ";
        }
    }
};

TEST(HivePath, FollowsTheEnvironmentAtEachCall)
{
    struct Case
    {
        const char* registry;
        const char* config;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/r.reg", "/cfg", "/home/u", "/x/r.reg"},
        {"", "/cfg", "/home/u", "/cfg/vexol/registry.reg"},
        {nullptr, "/cfg", "/home/u", "/cfg/vexol/registry.reg"},
        {nullptr, "relative/cfg", "/home/u", "/home/u/.config/vexol/registry.reg"},
        {nullptr, "", "/home/u", "/home/u/.config/vexol/registry.reg"},
        {nullptr, nullptr, "/h", "/h/.config/vexol/registry.reg"},
    };
    for (const Case& c : cases) {
        const ScopedEnv registry("VEXOL_REGISTRY", c.registry);
        const ScopedEnv config("XDG_CONFIG_HOME", c.config);
        const ScopedEnv home("HOME", c.home);
        EXPECT_EQ(HivePath(), c.expected) << c.expected;
    }
}

TEST(HiveFile, EachCallUsesTheHiveNamedAtThatMoment)
{
    TempRegistry first;
    ASSERT_EQ(SetDword("K", "v", 1), LONG(ERROR_SUCCESS));
    {
        TempRegistry second;
        EXPECT_EQ(OpenAndClose("K"), LONG(ERROR_FILE_NOT_FOUND));
        ASSERT_EQ(SetDword("K", "w", 2), LONG(ERROR_SUCCESS));
    }
    Hive hive;
    ASSERT_EQ(hive.Parse(first.ReadHive()), HiveParse::Complete);
    EXPECT_EQ(DwordIn(hive, {"K"}, "v"), DWORD(1));
    EXPECT_EQ(DwordIn(hive, {"K"}, "w"), std::nullopt);
}

TEST(HiveFile, MissingFoldersAreCreatedOnTheFirstWriteOnly)
{
    TempRegistry registry;
    const std::string nested = registry.Folder() + "/a/b/c/registry.reg";
    const ScopedEnv env("VEXOL_REGISTRY", nested.c_str());
    EXPECT_EQ(OpenAndClose("K"), LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(Exists(registry.Folder() + "/a"));
    ASSERT_EQ(CreateAndClose("K"), LONG(ERROR_SUCCESS));
    EXPECT_TRUE(Exists(nested));
    EXPECT_EQ(OpenAndClose("K"), LONG(ERROR_SUCCESS));
}

// A folder, FIFO, socket or device where the hive should be: reads and writes are
// refused at once, nothing is opened that could block, nothing is written over.
TEST(HiveFile, AHiveThatIsNotARegularFileIsNeverOpenedOrWrittenOver)
{
    struct Case
    {
        const char* label;
        std::function<bool(const std::string&)> make;
        mode_t type;
    };
    const Case cases[] = {
        {"folder", [](const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0; }, S_IFDIR},
        {"fifo", [](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, S_IFIFO},
        {"device",
         [](const std::string& p) {
             return ::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
         },
         S_IFCHR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempRegistry registry;
        if (!c.make(registry.HivePath())) {
            ADD_FAILURE() << "cannot make the " << c.label << ": " << std::strerror(errno);
            continue;
        }
        const std::string report = RunWithDeadline([] {
            Report r;
            r.Expect(OpenAndClose("K") == LONG(ERROR_ACCESS_DENIED), "open refused");
            r.Expect(CreateAndClose("K") == LONG(ERROR_ACCESS_DENIED), "create refused");
            r.Expect(SetDword("K", "v", 1) == LONG(ERROR_ACCESS_DENIED), "set refused");
            return r.text;
        });
        EXPECT_EQ(report, "");
        struct stat info
        {
        };
        ASSERT_EQ(::lstat(registry.HivePath().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & S_IFMT, c.type);
        EXPECT_TRUE(FilesStartingWith(registry.Folder(), "registry.reg.bad").empty());
        EXPECT_TRUE(FilesStartingWith(registry.Folder(), ".vexol-tmp-").empty());
    }
    // A path below a plain file cannot be written either.
    TempRegistry registry;
    const std::string underFile = registry.Folder() + "/plain/registry.reg";
    ASSERT_TRUE(TempRegistry::WriteText(registry.Folder() + "/plain", "x"));
    const ScopedEnv env("VEXOL_REGISTRY", underFile.c_str());
    EXPECT_EQ(OpenAndClose("K"), LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(CreateAndClose("K"), LONG(ERROR_SUCCESS));
}

// A hive path that is a symbolic link (dotfiles linked from a repository) is written
// through to its target; the link stays a link, also when the target is damaged.
TEST(HiveFile, ALinkedHiveIsWrittenThroughToItsTarget)
{
    struct Case
    {
        const char* label;
        const char* linkText;     // relative to the folder, or absolute when it starts with '/'
        std::string targetBefore; // empty: the target does not exist yet
    };
    const Case cases[] = {
        {"relative link", "dotfiles/vexol.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Old]\n"},
        {"dangling link", "dotfiles/new.reg", ""},
        {"damaged target", "dotfiles/vexol.reg",
         "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Old]\n\"x\"=hex:zz\n"},
        {"link to a link", "second-link", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Old]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempRegistry registry;
        const std::string folder = registry.Folder();
        ASSERT_EQ(::mkdir((folder + "/dotfiles").c_str(), 0700), 0);
        const std::string target = folder + "/dotfiles/vexol.reg";
        std::string finalTarget = folder + "/" + c.linkText;
        if (std::string(c.linkText) == "second-link") {
            ASSERT_EQ(::symlink("dotfiles/vexol.reg", (folder + "/second-link").c_str()), 0);
            finalTarget = target;
        }
        if (!c.targetBefore.empty()) {
            ASSERT_TRUE(TempRegistry::WriteText(target, c.targetBefore));
        }
        ASSERT_EQ(::symlink(c.linkText, registry.HivePath().c_str()), 0);

        ASSERT_EQ(SetDword("Software\\Vexol", "v", 9), LONG(ERROR_SUCCESS));
        char link[256] = {};
        ASSERT_GT(::readlink(registry.HivePath().c_str(), link, sizeof link - 1), 0);
        EXPECT_STREQ(link, c.linkText);
        Hive hive;
        ASSERT_EQ(hive.Parse(TempRegistry::ReadText(finalTarget)), HiveParse::Complete);
        EXPECT_EQ(DwordIn(hive, {"Software", "Vexol"}, "v"), DWORD(9));
        // The damaged target's bad line costs its section, "Old".
        const bool damaged = c.targetBefore.find("zz") != std::string::npos;
        EXPECT_EQ(hive.Find(RootKey::LocalMachine, std::vector<std::string>{"Old"}) != nullptr,
                  !c.targetBefore.empty() && !damaged);
        EXPECT_EQ(TempRegistry::ReadText(finalTarget + ".bad"), damaged ? c.targetBefore : "");
        EXPECT_TRUE(FilesStartingWith(folder, "registry.reg.bad").empty());
        EXPECT_EQ(OpenAndClose("Software\\Vexol"), LONG(ERROR_SUCCESS));
    }
}

// A new hive is private to its user whatever the umask: file 0600, folders 0700.
TEST(HiveFile, ANewHiveIsPrivateWhateverTheUmask)
{
    TempRegistry registry;
    const std::string nested = registry.Folder() + "/cfg/vexol/registry.reg";
    const ScopedEnv env("VEXOL_REGISTRY", nested.c_str());
    const mode_t previous = ::umask(0);
    const LONG written = SetDword("Software\\Vexol", "v", 1);
    ::umask(previous);
    ASSERT_EQ(written, LONG(ERROR_SUCCESS));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(nested.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat((registry.Folder() + "/cfg/vexol").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

// The parsed hive stays in memory: reads parse the file once, and again only after
// another process changed it, however quickly and whatever the size.
TEST(HiveFile, ReadsUseTheParsedHiveUntilAnotherProcessChangesTheFile)
{
    TempRegistry registry;
    ASSERT_EQ(SetDword("Software\\Vexol", "Counter", 0), LONG(ERROR_SUCCESS));
    auto read = [] {
        HKEY key = nullptr;
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Vexol", &key) != LONG(ERROR_SUCCESS)) {
            return DWORD(0xFFFFFFFF);
        }
        RegQueryValueExA(key, "Counter", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return value;
    };
    ::usleep(60000); // past the time in which a file counts as just changed
    read();
    const std::uint64_t parses = HiveParseCount();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(read(), 0u);
    }
    EXPECT_EQ(HiveParseCount(), parses) << "reads of an unchanged file parse it again";
    for (DWORD k = 1; k <= 20; ++k) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::_exit(SetDword("Software\\Vexol", "Counter", k) == LONG(ERROR_SUCCESS) ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(read(), k) << "a change by another process was not seen";
    }
}

// Damaged hives: the first read moves the file aside byte for byte and writes back
// what parsed, so one bad line costs only its own key section.
TEST(HiveFile, DamagedHivesAreMovedAsideAtTheFirstReadKeepingWhatParses)
{
    const std::string good = "[HKEY_LOCAL_MACHINE\\Software\\Good]\n\"v\"=dword:00000005\n";
    struct Case
    {
        std::string text;
        bool keepsGood; // false: not a hive at all
    };
    const Case cases[] = {
        {"REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"a\"=hex:zz\n", true},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"v\"=\"unterminated\n" + good, true},
        {"REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"v\"=hex:01,\\", true},
        {"REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"v\"=dword:1\n\0\0"s, true},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Keep]\r\n\"v\"=dword:1 2\r\n" + good, true},
        {"[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"v\"=dword:00000001\n" + good, false},
        {"\x89PNG\r\n\x1a\n not a hive at all", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TempRegistry registry;
        registry.WriteHive(c.text);

        EXPECT_EQ(OpenAndClose("Software\\Keep"), LONG(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(OpenAndClose("Software\\Good"),
                  c.keepsGood ? LONG(ERROR_SUCCESS) : LONG(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(TempRegistry::ReadText(registry.HivePath() + ".bad"), c.text);
        if (c.keepsGood) {
            Hive hive;
            ASSERT_EQ(hive.Parse(registry.ReadHive()), HiveParse::Complete);
            EXPECT_EQ(DwordIn(hive, {"Software", "Good"}, "v"), DWORD(5));
        } else {
            EXPECT_FALSE(registry.HiveExists());
        }

        // A later damaged hive goes to the next free name; earlier copies stay.
        const std::string second = "second " + c.text;
        registry.WriteHive(second);
        ASSERT_TRUE(TempRegistry::WriteText(registry.HivePath() + ".bad.2", "taken"));
        ASSERT_EQ(CreateAndClose("Software\\Other"), LONG(ERROR_SUCCESS));
        EXPECT_EQ(TempRegistry::ReadText(registry.HivePath() + ".bad"), c.text);
        EXPECT_EQ(TempRegistry::ReadText(registry.HivePath() + ".bad.1"), second);
        const std::string third = "third " + c.text;
        registry.WriteHive(third);
        ASSERT_EQ(CreateAndClose("Software\\Third"), LONG(ERROR_SUCCESS));
        EXPECT_EQ(TempRegistry::ReadText(registry.HivePath() + ".bad.2"), "taken");
        EXPECT_EQ(TempRegistry::ReadText(registry.HivePath() + ".bad.3"), third);
        EXPECT_EQ(OpenAndClose("Software\\Third"), LONG(ERROR_SUCCESS));
        EXPECT_EQ(OpenAndClose("Software\\Other"), LONG(ERROR_FILE_NOT_FOUND));
    }
}

TEST(HiveFile, UnwritableFolderIsReadButWritesAreDenied)
{
    // Both with and without a lock file left by an earlier write.
    for (const bool withLockFile : {false, true}) {
        SCOPED_TRACE(withLockFile ? "with lock file" : "without lock file");
        TempRegistry registry;
        ASSERT_EQ(SetDword("Software\\Vexol", "v", 5), LONG(ERROR_SUCCESS));
        if (!withLockFile) {
            ASSERT_EQ(::unlink((registry.HivePath() + ".lock").c_str()), 0);
        }
        ASSERT_EQ(::chmod(registry.HivePath().c_str(), 0644), 0);
        ASSERT_EQ(::chmod(registry.Folder().c_str(), 0555), 0);
        const std::string before = registry.ReadHive();
        const std::vector<std::string> filesBefore =
            FilesStartingWith(registry.Folder(), "registry.reg");

        const auto report = RunUnprivileged([] {
            Report r;
            HKEY key = nullptr;
            r.Expect(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Vexol", &key) ==
                         LONG(ERROR_SUCCESS),
                     "open existing");
            DWORD value = 0;
            DWORD size = sizeof value;
            r.Expect(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                      &size) == LONG(ERROR_SUCCESS) &&
                         value == 5,
                     "query existing");
            const DWORD six = 6;
            r.Expect(RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&six),
                                    4) == LONG(ERROR_ACCESS_DENIED),
                     "set value denied");
            RegCloseKey(key);
            r.Expect(CreateAndClose("Software\\Vexol") == LONG(ERROR_SUCCESS), "create existing");
            r.Expect(CreateAndClose("Software\\New") == LONG(ERROR_ACCESS_DENIED), "create denied");
            r.Expect(SetDword("Software\\New", "v", 1) == LONG(ERROR_ACCESS_DENIED),
                     "create and set denied");
            return r.text;
        });
        if (!report) {
            GTEST_SKIP() << "running as root and cannot drop privileges";
        }
        EXPECT_EQ(*report, "");
        EXPECT_EQ(registry.ReadHive(), before);
        EXPECT_EQ(FilesStartingWith(registry.Folder(), "registry.reg"), filesBefore);
    }
}

TEST(HiveFile, UnreadableHiveIsNeverWrittenOver)
{
    TempRegistry registry;
    ASSERT_EQ(SetDword("Software\\Vexol", "v", 5), LONG(ERROR_SUCCESS));
    ASSERT_EQ(::chmod(registry.Folder().c_str(), 0777), 0);
    ASSERT_EQ(::chmod((registry.HivePath() + ".lock").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(registry.HivePath().c_str(), 0), 0);
    const std::string before = registry.ReadHive();

    const auto report = RunUnprivileged([] {
        Report r;
        r.Expect(OpenAndClose("Software\\Vexol") == LONG(ERROR_ACCESS_DENIED), "open denied");
        r.Expect(SetDword("Software\\Vexol", "v", 6) == LONG(ERROR_ACCESS_DENIED), "set denied");
        r.Expect(CreateAndClose("Software\\New") == LONG(ERROR_ACCESS_DENIED), "create denied");
        return r.text;
    });
    if (!report) {
        GTEST_SKIP() << "running as root and cannot drop privileges";
    }
    EXPECT_EQ(*report, "");
    EXPECT_EQ(registry.ReadHive(), before);
    EXPECT_FALSE(Exists(registry.HivePath() + ".bad"));
}

TEST(HiveConcurrency, TwoProcessesWritingDifferentValuesLoseNothing)
{
    TempRegistry registry;
    constexpr int kWriters = 2;
    constexpr int kValuesEach = 40;
    const char* path = "Software\\Torvane\\Vexol\\Race";
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int n = 0; n < kValuesEach; ++n) {
                if (SetDword(path, "p" + std::to_string(w) + "-" + std::to_string(n), DWORD(n)) !=
                    LONG(ERROR_SUCCESS)) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    // Meanwhile every read of the file must parse.
    int running = kWriters;
    int reads = 0;
    int unparsable = 0;
    std::vector<int> statuses;
    while (running > 0) {
        const std::string text = registry.ReadHive();
        Hive hive;
        unparsable += hive.Parse(text) == HiveParse::Complete ? 0 : 1;
        ++reads;
        int status = 0;
        const pid_t done = ::waitpid(-1, &status, WNOHANG);
        if (done > 0) {
            statuses.push_back(status);
            --running;
        }
        ::usleep(200);
    }
    EXPECT_EQ(unparsable, 0) << "of " << reads << " reads";
    for (int status : statuses) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Hive hive;
    ASSERT_EQ(hive.Parse(registry.ReadHive()), HiveParse::Complete);
    const std::vector<std::string> key = {"Software", "Torvane", "Vexol", "Race"};
    for (int w = 0; w < kWriters; ++w) {
        for (int n = 0; n < kValuesEach; ++n) {
            EXPECT_EQ(DwordIn(hive, key, "p" + std::to_string(w) + "-" + std::to_string(n)),
                      DWORD(n));
        }
    }
    EXPECT_TRUE(FilesStartingWith(registry.Folder(), ".vexol-tmp-").empty());
}

TEST(HiveConcurrency, ThreadsWritingDifferentValuesLoseNothing)
{
    TempRegistry registry;
    const std::size_t handlesBefore = OpenKeyHandleCount();
    constexpr int kThreads = 4;
    constexpr int kValuesEach = 20;
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int n = 0; n < kValuesEach; ++n) {
                // Each thread also creates its own key, so key creation races too.
                const std::string path = "Software\\T" + std::to_string(t);
                if (SetDword(path.c_str(), "v" + std::to_string(n), DWORD(n)) !=
                        LONG(ERROR_SUCCESS) ||
                    SetDword("Software\\Shared", "t" + std::to_string(t) + "-" + std::to_string(n),
                             DWORD(t)) != LONG(ERROR_SUCCESS)) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failures, 0);
    Hive hive;
    ASSERT_EQ(hive.Parse(registry.ReadHive()), HiveParse::Complete);
    for (int t = 0; t < kThreads; ++t) {
        for (int n = 0; n < kValuesEach; ++n) {
            EXPECT_EQ(DwordIn(hive, {"Software", "T" + std::to_string(t)}, "v" + std::to_string(n)),
                      DWORD(n));
            EXPECT_EQ(DwordIn(hive, {"Software", "Shared"},
                              "t" + std::to_string(t) + "-" + std::to_string(n)),
                      DWORD(t));
        }
    }
    EXPECT_EQ(OpenKeyHandleCount(), handlesBefore);
}

// A child writes an increasing counter and reports each committed value through a pipe;
// it is killed at a random moment. The hive must parse and hold the last reported value
// or the one being written when the child died.
TEST(HiveCrashSafety, KilledWritersLeaveTheOldOrTheNewValue)
{
    TempRegistry registry;
    const char* path = "Software\\Crash";
    {
        // A large value makes every write take long enough to be interrupted.
        std::vector<BYTE> padding(64 * 1024, 0x5A);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key), LONG(ERROR_SUCCESS));
        ASSERT_EQ(
            RegSetValueExA(key, "Padding", 0, REG_BINARY, padding.data(), DWORD(padding.size())),
            LONG(ERROR_SUCCESS));
        RegCloseKey(key);
    }
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMicroseconds(0, 8000);
    DWORD committed = 0;
    int staleTemporaryFiles = 0;
    constexpr int kRounds = 25;
    for (int round = 0; round < kRounds; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const DWORD start = committed + 1;
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            for (DWORD k = start; k < start + 1000000; ++k) {
                if (SetDword(path, "Counter", k) != LONG(ERROR_SUCCESS) ||
                    ::write(fds[1], &k, sizeof k) != ssize_t(sizeof k)) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        // Wait for the first commit, so that every round makes progress, then kill at
        // a random moment.
        DWORD reported = 0;
        ASSERT_EQ(::read(fds[0], &reported, sizeof reported), ssize_t(sizeof reported));
        ::usleep(useconds_t(delayMicroseconds(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own";
        DWORD k = 0;
        while (::read(fds[0], &k, sizeof k) == ssize_t(sizeof k)) {
            reported = k;
        }
        ::close(fds[0]);

        Hive hive;
        ASSERT_EQ(hive.Parse(registry.ReadHive()), HiveParse::Complete) << "round " << round;
        const std::optional<DWORD> value = DwordIn(hive, {"Software", "Crash"}, "Counter");
        ASSERT_TRUE(value.has_value());
        EXPECT_TRUE(*value == reported || *value == reported + 1)
            << "round " << round << ": hive holds " << *value << ", last reported " << reported;
        EXPECT_EQ(hive.Find(RootKey::LocalMachine, std::vector<std::string>{"Software", "Crash"})
                      ->FindValue("Padding")
                      ->data.size(),
                  64u * 1024u);
        committed = *value;
        staleTemporaryFiles += int(FilesStartingWith(registry.Folder(), ".vexol-tmp-").size());
    }
    // A writer killed between creating and renaming its temporary file leaves it
    // behind; the next transaction removes it.
    ASSERT_EQ(SetDword(path, "Counter", committed + 1), LONG(ERROR_SUCCESS));
    EXPECT_TRUE(FilesStartingWith(registry.Folder(), ".vexol-tmp-").empty())
        << staleTemporaryFiles << " stale temporary files seen during the rounds";
    EXPECT_TRUE(FilesStartingWith(registry.Folder(), "registry.reg.bad").empty());
}

} // namespace
