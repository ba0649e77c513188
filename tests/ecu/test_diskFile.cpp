#include "diskFile.h"
#include "textFile.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ino_t Inode(const fs::path &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

uid_t Nobody()
{
    const passwd *user = ::getpwnam("nobody");
    return user != nullptr ? user->pw_uid : 65534;
}

// A POSIX access control list as the kernel stores it: entries of tag, permissions and id.
std::string Acl(std::initializer_list<std::array<std::uint32_t, 3>> entries)
{
    std::string acl {'\x02', '\0', '\0', '\0'}; // version 2, little-endian
    for (const auto &[tag, perm, id] : entries) {
        const std::uint8_t bytes[] = {std::uint8_t(tag),      std::uint8_t(tag >> 8),
                                      std::uint8_t(perm),     0,
                                      std::uint8_t(id),       std::uint8_t(id >> 8),
                                      std::uint8_t(id >> 16), std::uint8_t(id >> 24)};
        acl.append(reinterpret_cast<const char *>(bytes), sizeof bytes);
    }
    return acl;
}

std::map<std::string, std::string> Attributes(const fs::path &path)
{
    std::string names(4096, '\0');
    names.resize(static_cast<std::size_t>(
        std::max<ssize_t>(0, ::listxattr(path.c_str(), names.data(), names.size()))));
    std::map<std::string, std::string> all;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char *name = names.c_str() + at;
        std::string value(4096, '\0');
        value.resize(static_cast<std::size_t>(
            std::max<ssize_t>(0, ::getxattr(path.c_str(), name, value.data(), value.size()))));
        all[name] = value;
    }
    return all;
}

class DiskFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "orbanel-disk-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::permissions(dir_, fs::perms(0755));
        pattern = (fs::temp_directory_path() / "orbanel-disk-tmp-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        tmp_ = pattern;
        fs::permissions(tmp_, fs::perms::all);
    }
    void TearDown() override
    {
        for (const auto &entry : fs::recursive_directory_iterator(dir_)) {
            if (entry.is_directory() && !entry.is_symlink()) {
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
            }
        }
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
        fs::remove_all(tmp_);
    }

    // Runs body in a child process as an ordinary user, so that folder permissions apply also
    // when the tests run as root (as "nobody" then). The child's TMPDIR is tmp_, writable by it.
    // Returns body's result, or -1 when the child did not get that far.
    int AsUser(const std::function<int()> &body)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::geteuid() == 0) {
                const uid_t nobody = Nobody();
                if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0
                    || ::setuid(nobody) != 0) {
                    ::_exit(100);
                }
            }
            ::setenv("TMPDIR", tmp_.c_str(), 1);
            ::_exit(body());
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
    }

    fs::path dir_;
    fs::path tmp_;
};

TEST_F(DiskFile, HardLinksStayOneFile)
{
    const fs::path file = dir_ / "car.ini";
    WriteText(file, "old");
    fs::create_hard_link(file, dir_ / "copy.ini");
    ASSERT_TRUE(SaveDiskFile(file.string(), "new content"));
    EXPECT_TRUE(fs::equivalent(file, dir_ / "copy.ini"));
    EXPECT_EQ(ReadText(dir_ / "copy.ini"), "new content");
    EXPECT_EQ(Names(dir_), (std::vector<std::string> {"car.ini", "copy.ini"}));
}

TEST_F(DiskFile, ReplacingKeepsOwnerGroupAndMode)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a file to another user needs root";
    }
    const fs::path file = dir_ / "car.ini";
    WriteText(file, "old");
    const uid_t nobody = Nobody();
    ASSERT_EQ(::chown(file.c_str(), nobody, nobody), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0604), 0);
    const ino_t before = Inode(file);
    ASSERT_TRUE(SaveDiskFile(file.string(), "new"));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_NE(info.st_ino, before) << "replaced whole, not written in place";
    EXPECT_EQ(info.st_uid, nobody);
    EXPECT_EQ(info.st_gid, nobody);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_EQ(ReadText(file), "new");
}

// A file shared through an access control list stays shared after a save, and keeps its other
// extended attributes; one without gets none of the folder's defaults, given after it was made.
TEST_F(DiskFile, ReplacingKeepsTheAccessListAndExtendedAttributes)
{
    constexpr std::uint32_t kUserObj = 0x01, kUser = 0x02, kGroupObj = 0x04, kMask = 0x10,
                            kOther = 0x20, kNoId = 0xFFFFFFFF;
    const std::string shared = Acl({{kUserObj, 6, kNoId},
                                    {kUser, 6, Nobody()},
                                    {kGroupObj, 4, kNoId},
                                    {kMask, 6, kNoId},
                                    {kOther, 0, kNoId}});
    const fs::path withAcl = dir_ / "shared.ini";
    const fs::path plain = dir_ / "plain.ini";
    WriteText(withAcl, "old");
    WriteText(plain, "old");
    if (::setxattr(withAcl.c_str(), "system.posix_acl_access", shared.data(), shared.size(), 0)
        != 0) {
        GTEST_SKIP() << "no access control lists here";
    }
    ASSERT_EQ(::setxattr(withAcl.c_str(), "user.vehicle", "car 7", 5, 0), 0);
    const std::string folderDefault = Acl({{kUserObj, 7, kNoId},
                                           {kUser, 7, Nobody() - 1},
                                           {kGroupObj, 5, kNoId},
                                           {kMask, 7, kNoId},
                                           {kOther, 5, kNoId}});
    ASSERT_EQ(::setxattr(dir_.c_str(), "system.posix_acl_default", folderDefault.data(),
                         folderDefault.size(), 0),
              0);
    for (const fs::path &file : {withAcl, plain}) {
        SCOPED_TRACE(file.filename().string());
        const auto before = Attributes(file);
        const ino_t inode = Inode(file);
        ASSERT_TRUE(SaveDiskFile(file.string(), "new"));
        EXPECT_NE(Inode(file), inode) << "replaced whole, not written in place";
        EXPECT_EQ(Attributes(file), before);
        EXPECT_EQ(ReadText(file), "new");
    }
    EXPECT_EQ(Attributes(withAcl).size(), 2u);
    EXPECT_EQ(Names(dir_), (std::vector<std::string> {"plain.ini", "shared.ini"}));
}

TEST_F(DiskFile, AFileNotOwnedIsWrittenInPlaceAndKeepsItsOwner)
{
    // The saving user may write the file but could not give a new one its owner.
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a file of another user needs root to make";
    }
    const fs::path file = dir_ / "car.ini";
    WriteText(file, "old");
    fs::permissions(file, fs::perms(0666));
    fs::permissions(dir_, fs::perms(0777));
    struct stat before
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    ASSERT_EQ(AsUser([&] { return SaveDiskFile(file.string(), "new") ? 0 : 1; }), 0);
    struct stat after
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(ReadText(file), "new");
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Names(dir_), (std::vector<std::string> {"car.ini"}));
}

TEST_F(DiskFile, AWritableFileInAClosedFolderIsSavedInPlace)
{
    const fs::path file = dir_ / "car.ini";
    WriteText(file, "old");
    fs::permissions(file, fs::perms(0666));
    const ino_t before = Inode(file);
    fs::permissions(dir_, fs::perms(0555));
    ASSERT_EQ(AsUser([&] { return SaveDiskFile(file.string(), "new, and longer") ? 0 : 1; }), 0);
    EXPECT_EQ(ReadText(file), "new, and longer");
    EXPECT_EQ(Inode(file), before);
    EXPECT_TRUE(Names(tmp_).empty()) << "the copy of the old content is removed";

    // Shorter content cuts the file.
    ASSERT_EQ(AsUser([&] { return SaveDiskFile(file.string(), "s") ? 0 : 1; }), 0);
    EXPECT_EQ(ReadText(file), "s");
    EXPECT_EQ(Names(dir_), (std::vector<std::string> {"car.ini"}));
}

// Both sides of the size limit; a file past it is neither read nor replaced, nor written.
TEST_F(DiskFile, AFileLargerThanAnyProfileIsNeitherReadNorSavedOver)
{
    const fs::path file = dir_ / "big.ini";
    {
        std::ofstream(file) << "x";
    }
    fs::resize_file(file, kMaxDiskFileBytes);
    std::string text = "kept";
    ASSERT_EQ(ReadDiskFile(file.string(), text), TDiskRead::Loaded);
    EXPECT_EQ(text.size(), kMaxDiskFileBytes);
    EXPECT_EQ(text.front(), 'x');
    EXPECT_TRUE(SaveDiskFile(file.string(), text));
    EXPECT_FALSE(SaveDiskFile(file.string(), text + 'y'));
    EXPECT_EQ(fs::file_size(file), kMaxDiskFileBytes);

    fs::resize_file(file, kMaxDiskFileBytes + 1);
    text = "kept";
    EXPECT_EQ(ReadDiskFile(file.string(), text), TDiskRead::Failed);
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(SaveDiskFile(file.string(), "[vehicle]\n"));
    EXPECT_EQ(fs::file_size(file), kMaxDiskFileBytes + 1);
    EXPECT_EQ(Names(dir_), (std::vector<std::string> {"big.ini"}));
}

// A name of the longest a folder takes leaves no room for a temporary name beside it: that one is
// shortened, also when the cut falls inside a character ("é" is two bytes).
TEST_F(DiskFile, TheLongestNameIsCreatedAndSavedOver)
{
    const std::string names[] = {std::string(251, 'v') + ".ini", std::string(25, 'k') + [] {
                                     std::string accents;
                                     for (int i = 0; i < 113; ++i)
                                         accents += "\xC3\xA9";
                                     return accents;
                                 }() + ".ini"};
    for (const std::string &name : names) {
        ASSERT_EQ(name.size(), 255u);
        const fs::path file = dir_ / name;
        for (const char *text : {"[vehicle]\nfwdgears=3\n", "[vehicle]\nfwdgears=4\n"}) {
            ASSERT_TRUE(SaveDiskFile(file.string(), text)) << text;
            std::string read;
            ASSERT_EQ(ReadDiskFile(file.string(), read), TDiskRead::Loaded);
            EXPECT_EQ(read, text);
            EXPECT_EQ(Names(dir_), (std::vector<std::string> {name}));
        }
        fs::remove(file);
    }
}

#ifdef __linux__
// A file that is there but fails to read: the kernel answers EIO at the start of this one.
TEST_F(DiskFile, AReadErrorFailsTheReadAndTheSaveOverIt)
{
    const std::string file = "/proc/self/mem";
    std::string text = "kept";
    EXPECT_EQ(ReadDiskFile(file, text), TDiskRead::Failed);
    EXPECT_EQ(text, "kept");
    // A save reads the old content first, and gives up when it cannot.
    EXPECT_FALSE(SaveDiskFile(file, "new"));
}
#endif

struct TFailRow
{
    const char *Name;
    std::size_t OldSize;
    std::size_t NewSize;
};

void PrintTo(const TFailRow &row, std::ostream *os)
{
    *os << row.Name;
}

class DiskFileFailure : public DiskFile, public ::testing::WithParamInterface<TFailRow>
{
};

// A write that fails part-way, for real: the file size limit stops it after kLimit bytes.
TEST_P(DiskFileFailure, AnInPlaceSaveThatFailsPartWayKeepsTheOldContent)
{
    constexpr rlim_t kLimit = 4096;
    const fs::path file = dir_ / "car.ini";
    const std::string old = "[owner]\nname=A\n" + std::string(GetParam().OldSize, ';');
    WriteText(file, old);
    fs::permissions(file, fs::perms(0666));
    fs::permissions(dir_, fs::perms(0555));
    const std::string text(GetParam().NewSize, 'n');
    const int result = AsUser([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = kLimit;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 2;
        }
        return SaveDiskFile(file.string(), text) ? 0 : 1;
    });
    EXPECT_EQ(result, 1) << "the save reports the failure";
    EXPECT_EQ(ReadText(file), old);
    EXPECT_TRUE(Names(tmp_).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, DiskFileFailure,
    ::testing::Values(
        // The new content passes the limit: the old content is written back.
        TFailRow {"RestoredAfterAFailedWrite", 100, 10000},
        // Not even the copy of the old content can be made: the file is never touched.
        TFailRow {"NoCopyNoSave", 5000, 10}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
