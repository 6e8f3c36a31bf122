// Where files may be written: special files, links and kernel files are refused before
// anything is opened for writing; ordinary files and tmpfs are not; a file held by one
// writer is refused to the next; temporary files are short-named, and those of writers
// that died are removed while living writers' are kept.
#include "platform/FileTarget.h"
#include "platform/AtomicFile.h"
#include "support/RefusedTargets.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vexol::platform {
namespace {

using test::RefusedTargets;

std::string Folder(const QTemporaryDir& dir)
{
    return dir.path().toStdString();
}

std::vector<std::string> TemporaryNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const QString& name : QDir(QString::fromStdString(folder))
                                   .entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (IsTemporaryFileName(name.toStdString())) {
            names.push_back(name.toStdString());
        }
    }
    return names;
}

FileRefusal ExpectedRefusal(const std::string& label)
{
    if (label.find("link") != std::string::npos) {
        return FileRefusal::SymbolicLink;
    }
    if (label.find("kernel") != std::string::npos) {
        return FileRefusal::PseudoFileSystem;
    }
    return FileRefusal::NotRegularFile;
}

TEST(FileTarget, SpecialFilesLinksAndKernelFilesAreRefusedUntouched)
{
    QTemporaryDir dir;
    RefusedTargets targets(Folder(dir));
    ASSERT_GE(targets.All().size(), 7u);
    for (const test::RefusedTarget& target : targets.All()) {
        SCOPED_TRACE(target.label);
        const FileRefusal expected = ExpectedRefusal(target.label);
        EXPECT_EQ(CheckReplaceTarget(target.path).refusal, expected);
        FileCheck why;
        EXPECT_FALSE(AtomicFile::WriteAll(target.path, "new", 3, &why));
        EXPECT_EQ(why.refusal, expected);
        LockedFile file;
        EXPECT_EQ(LockedFile::OpenForWriting(target.path, file).refusal, expected);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(targets.Changes(), "");
    }
}

TEST(FileTarget, OrdinaryFilesAndTmpfsMayBeWritten)
{
    QTemporaryDir dir;
    std::vector<std::string> paths = {Folder(dir) + "/new.bmp", Folder(dir) + "/old.bmp"};
    ASSERT_TRUE(AtomicFile::WriteAll(paths[1], "old", 3));
    struct statfs fs
    {
    };
    if (::statfs("/dev/shm", &fs) == 0 && fs.f_type == 0x01021994) {
        paths.push_back("/dev/shm/vexol-file-target-test.bmp");
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(CheckReplaceTarget(path).Ok());
        EXPECT_TRUE(AtomicFile::WriteAll(path, "written", 7));
        LockedFile file;
        EXPECT_TRUE(LockedFile::OpenForWriting(path, file).Ok());
        file.Close();
        EXPECT_TRUE(TemporaryNames(Folder(dir)).empty());
    }
    ::unlink("/dev/shm/vexol-file-target-test.bmp");
}

// One writer at a time: the capture file's lock keeps a second recording, an
// allocation, a save-as source read and a replacement out, without waiting.
TEST(FileTarget, AFileHeldByOneWriterIsRefusedToTheNext)
{
    QTemporaryDir dir;
    const std::string path = Folder(dir) + "/capture.avi";
    LockedFile first;
    bool created = false;
    ASSERT_TRUE(LockedFile::OpenForWriting(path, first, &created).Ok());
    EXPECT_TRUE(created);
    LockedFile second;
    EXPECT_EQ(LockedFile::OpenForWriting(path, second).refusal, FileRefusal::InUse);
    EXPECT_EQ(LockedFile::OpenForReading(path, second).refusal, FileRefusal::InUse);
    EXPECT_EQ(CheckReplaceTarget(path).refusal, FileRefusal::InUse);
    EXPECT_FALSE(AtomicFile::WriteAll(path, "x", 1));
    // Another process sees the same.
    const pid_t pid = ::fork();
    if (pid == 0) {
        LockedFile other;
        ::_exit(LockedFile::OpenForWriting(path, other).refusal == FileRefusal::InUse ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    first.Close();
    EXPECT_TRUE(LockedFile::OpenForReading(path, second).Ok());
    EXPECT_TRUE(LockedFile::OpenForReading(path, first).Ok()) << "readers share";
    EXPECT_EQ(LockedFile::OpenForWriting(path, first).refusal, FileRefusal::InUse);
}

// A name that is legal (up to 255 bytes) can be written: the temporary name is short.
TEST(FileTarget, LongNamesFitBecauseTemporaryNamesAreShort)
{
    QTemporaryDir dir;
    for (const std::size_t length : {std::size_t(250), std::size_t(255)}) {
        const std::string path = Folder(dir) + "/" + std::string(length - 4, 'n') + ".bmp";
        AtomicFile file;
        ASSERT_TRUE(file.Open(path)) << length;
        EXPECT_EQ(TemporaryNames(Folder(dir)).size(), 1u);
        ASSERT_TRUE(file.Write("bitmap", 6));
        ASSERT_TRUE(file.Commit());
        struct stat info
        {
        };
        EXPECT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_TRUE(TemporaryNames(Folder(dir)).empty());
    }
}

// Only our own temporary files, only those older than this process and only those
// no living writer holds are removed, by the next write into their folder.
TEST(FileTarget, StaleTemporaryFilesOfDeadWritersAreRemovedByTheNextWrite)
{
    QTemporaryDir dir;
    const std::string folder = Folder(dir);
    auto make = [&](const std::string& name, bool old) {
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        EXPECT_EQ(::write(fd, "partial copy", 12), 12);
        if (old) {
            const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
            ::futimens(fd, hourAgo);
        }
        return fd;
    };
    ::close(make(".vexol-tmp-dead01", true));           // a writer killed mid-copy
    ::close(make(".vexol-tmp-young1", false));          // made after this process started
    const int living = make(".vexol-tmp-alive1", true); // a writer that still runs
    ASSERT_EQ(::flock(living, LOCK_EX), 0);
    ::close(make("movie.avi.tmp-abc123", true)); // not our name
    ::close(make(".vexol-tmp-toolong", true));   // not our pattern
    ASSERT_TRUE(AtomicFile::WriteAll(folder + "/still.bmp", "bitmap", 6));
    QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    EXPECT_EQ(names, QStringList({".vexol-tmp-alive1", ".vexol-tmp-toolong", ".vexol-tmp-young1",
                                  "movie.avi.tmp-abc123", "still.bmp"}));
    ::close(living);
    // Once its writer is gone, the next write removes it too.
    ASSERT_TRUE(AtomicFile::WriteAll(folder + "/still.bmp", "bitmap", 6));
    EXPECT_FALSE(QFile::exists(dir.filePath(".vexol-tmp-alive1")));
}

} // namespace
} // namespace vexol::platform
