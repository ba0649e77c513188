#include "diskFile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif
#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace fs = std::filesystem;

namespace {

// Symbolic links followed before a name counts as a loop, as the system's own limit.
constexpr int kMaxLinkHops = 40;
constexpr int kNameAttempts = 100;
// Bytes taken per read of a file; profiles are a few hundred bytes.
constexpr std::size_t kReadChunk = 4096;

fs::path PathOf(const std::string &utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string UniqueSuffix()
{
    static std::mt19937_64 random(
        std::random_device {}()
        ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return std::to_string(random() % 1000000000u);
}

// ---- The platform layer: one open file written from its start, flushed to the disk. ----------

class TOutFile
{
public:
    TOutFile() = default;
    TOutFile(const TOutFile &) = delete;
    TOutFile &operator=(const TOutFile &) = delete;
    ~TOutFile() { Close(); }

    // A file that must not exist yet. Private: readable by its owner only.
    bool CreateNew(const fs::path &path, bool isPrivate);
    // An existing file, opened for writing without truncating it.
    bool OpenExisting(const fs::path &path);
    bool IsOpen() const;
    // Writes all of data from the start of the file and cuts the file to its size.
    bool Replace(std::string_view data);
    // Until this returns, the data may be only in the system's cache.
    bool Sync();
    bool Close();
    // Gives the new file the owner, group, permissions and extended attributes (an access
    // control list among them) of the file it replaces. False when one of them cannot be kept.
    bool TakeOwnerAndModeOf(const fs::path &path);

private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

// Puts the written new file in the place of target in one step; target may not exist.
bool MoveOver(const fs::path &from, const fs::path &target);

// The current user may write the existing file (beyond its permission bits, which the caller
// checks).
bool MayWrite(const fs::path &path);

#ifdef _WIN32

bool TOutFile::CreateNew(const fs::path &path, bool)
{
    handle_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
}

bool TOutFile::OpenExisting(const fs::path &path)
{
    handle_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
}

bool TOutFile::IsOpen() const
{
    return handle_ != INVALID_HANDLE_VALUE;
}

bool TOutFile::Replace(std::string_view data)
{
    LARGE_INTEGER start {};
    if (!::SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN)) {
        return false;
    }
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(handle_, data.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data.remove_prefix(written);
    }
    return ::SetEndOfFile(handle_) != 0;
}

bool TOutFile::Sync()
{
    return ::FlushFileBuffers(handle_) != 0;
}

bool TOutFile::Close()
{
    if (handle_ == INVALID_HANDLE_VALUE) {
        return true;
    }
    const bool ok = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
}

bool TOutFile::TakeOwnerAndModeOf(const fs::path &)
{
    return true; // the replace call below keeps the replaced file's attributes and access rights
}

bool MoveOver(const fs::path &from, const fs::path &target)
{
    std::error_code ec;
    if (fs::exists(target, ec)) {
        return ::ReplaceFileW(target.c_str(), from.c_str(), nullptr,
                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
            != 0;
    }
    return ::MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool MayWrite(const fs::path &)
{
    return true; // the read-only attribute is all the permission bits show; access lists are
                 // checked by the open or replace itself
}

#else

bool TOutFile::CreateNew(const fs::path &path, bool isPrivate)
{
    // 0666 leaves a new profile's permissions to the umask, as a plain create would.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, isPrivate ? 0600 : 0666);
    return fd_ >= 0;
}

bool TOutFile::OpenExisting(const fs::path &path)
{
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    return fd_ >= 0;
}

bool TOutFile::IsOpen() const
{
    return fd_ >= 0;
}

bool TOutFile::Replace(std::string_view data)
{
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        return false;
    }
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    const off_t size = ::lseek(fd_, 0, SEEK_CUR);
    return size >= 0 && ::ftruncate(fd_, size) == 0;
}

bool TOutFile::Sync()
{
    return ::fsync(fd_) == 0;
}

bool TOutFile::Close()
{
    if (fd_ < 0) {
        return true;
    }
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

#ifdef __linux__
// The names of a file's extended attributes, each ended by a zero byte; nullopt when they cannot
// be read. A file system without them has none.
std::optional<std::string> AttributeNames(const fs::path &path, int fd)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const ssize_t size
            = fd >= 0 ? ::flistxattr(fd, nullptr, 0) : ::listxattr(path.c_str(), nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP ? std::optional<std::string>(std::string()) : std::nullopt;
        }
        std::string names(static_cast<std::size_t>(size), '\0');
        const ssize_t got = fd >= 0 ? ::flistxattr(fd, names.data(), names.size())
                                    : ::listxattr(path.c_str(), names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return names;
        }
        if (errno != ERANGE) { // ERANGE: one was added meanwhile
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::vector<std::string> SplitNames(const std::string &names)
{
    std::vector<std::string> list;
    for (std::size_t at = 0; at < names.size();) {
        list.emplace_back(names.c_str() + at);
        at += list.back().size() + 1;
    }
    return list;
}
#endif

// A file replaced by a new one would lose its access control list and other extended attributes:
// the new one gets them all, and loses any the folder gave it that the old one did not have.
bool TakeExtendedAttributes([[maybe_unused]] const fs::path &from, [[maybe_unused]] int to)
{
#ifdef __linux__
    const auto wanted = AttributeNames(from, -1);
    const auto given = AttributeNames({}, to);
    if (!wanted || !given) {
        return false;
    }
    const std::vector<std::string> keep = SplitNames(*wanted);
    for (const std::string &name : SplitNames(*given)) {
        if (std::find(keep.begin(), keep.end(), name) == keep.end()
            && ::fremovexattr(to, name.c_str()) != 0) {
            return false;
        }
    }
    for (const std::string &name : keep) {
        const ssize_t size = ::getxattr(from.c_str(), name.c_str(), nullptr, 0);
        if (size < 0) {
            return false;
        }
        std::string value(static_cast<std::size_t>(size), '\0');
        if (::getxattr(from.c_str(), name.c_str(), value.data(), value.size()) != size
            || ::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) {
            return false;
        }
    }
#endif
    return true;
}

bool TOutFile::TakeOwnerAndModeOf(const fs::path &path)
{
    struct stat old
    {
    };
    struct stat mine
    {
    };
    if (::stat(path.c_str(), &old) != 0 || ::fstat(fd_, &mine) != 0) {
        return false;
    }
    // Owner first: a change of owner may clear the set-id bits that the mode then restores.
    if ((old.st_uid != mine.st_uid || old.st_gid != mine.st_gid)
        && ::fchown(fd_, old.st_uid, old.st_gid) != 0) {
        return false;
    }
    return ::fchmod(fd_, old.st_mode & 07777) == 0 && TakeExtendedAttributes(path, fd_);
}

bool MoveOver(const fs::path &from, const fs::path &target)
{
    if (::rename(from.c_str(), target.c_str()) != 0) {
        return false;
    }
    // Make the rename itself durable; the file is whole either way.
    const int dir = ::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool MayWrite(const fs::path &path)
{
    return ::access(path.c_str(), W_OK) == 0;
}

#endif

// ---- Saving, on top of the platform layer. ------------------------------------------------------

// The file a name finally refers to, following symbolic links; nullopt for a loop.
std::optional<fs::path> FollowLinks(fs::path path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) {
            return path;
        }
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) {
            return std::nullopt;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

bool MarkedReadOnly(const fs::file_status &status)
{
    constexpr fs::perms kAnyWrite
        = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (status.permissions() & kAnyWrite) == fs::perms::none;
}

// File names hold at most 255 bytes (UTF-16 units on Windows).
constexpr std::size_t kMaxLeafLength = 255;

// The first units of a file name that fit in room, not cut inside a character.
fs::path::string_type Shortened(fs::path::string_type name, std::size_t room)
{
    if (name.size() <= room) {
        return name;
    }
    std::size_t end = room;
    const auto continues = [](auto unit) {
        const auto u = static_cast<std::uint32_t>(unit);
        return sizeof(unit) == 1 ? (u & 0xC0u) == 0x80u : u >= 0xDC00u && u <= 0xDFFFu;
    };
    while (end > 0 && continues(name[end])) {
        --end;
    }
    name.resize(end);
    return name;
}

// A new file in folder, named after the file name of like, that no one else has made; nullopt when
// the folder takes no new file. A long name is shortened to leave room for the rest.
std::optional<fs::path> CreateUnique(TOutFile &file, const fs::path &folder,
                                     const std::string &prefix, const fs::path &like,
                                     bool isPrivate)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string suffix = "." + UniqueSuffix() + ".tmp";
        fs::path leaf = prefix;
        leaf += Shortened(like.filename().native(), kMaxLeafLength - prefix.size() - suffix.size());
        leaf += suffix;
        const fs::path path = folder / leaf;
        if (file.CreateNew(path, isPrivate)) {
            return path;
        }
        std::error_code ec;
        if (!fs::exists(path, ec)) {
            return std::nullopt; // not a clash of names: the folder refuses
        }
    }
    return std::nullopt;
}

enum class TReplace { Done, Failed, NotHere };

// The content goes to a new file beside the target, which replaces the target only once it is
// whole on the disk. NotHere: no new file can be made beside it, or it could not get the
// target's owner; nothing was changed.
TReplace ReplaceWhole(const fs::path &target, bool exists, std::string_view text)
{
    TOutFile file;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const auto temp = CreateUnique(file, folder, ".", target, false);
    if (!temp) {
        return TReplace::NotHere;
    }
    std::error_code ec;
    if (exists && !file.TakeOwnerAndModeOf(target)) {
        file.Close();
        fs::remove(*temp, ec);
        return TReplace::NotHere;
    }
    bool ok = file.Replace(text) && file.Sync();
    ok = file.Close() && ok;
    ok = ok && MoveOver(*temp, target);
    if (!ok) {
        fs::remove(*temp, ec);
        return TReplace::Failed;
    }
    return TReplace::Done;
}

// Writes the file in place, for when it cannot be replaced. The guarantee: until the file holds
// the new content whole and flushed to the disk, the old content also sits in a copy of its own
// in the system's temporary folder, itself flushed before the file is touched. A write that fails
// part-way puts the old content back; the copy is deleted only once the file holds the old or the
// new content whole, so it survives a failed restore and an interrupted save. No copy, no save.
bool SaveInPlace(const fs::path &target, std::string_view text, std::string_view old)
{
    std::error_code ec;
    const fs::path tempFolder = fs::temp_directory_path(ec);
    if (ec) {
        return false;
    }
    TOutFile copy;
    const auto backup = CreateUnique(copy, tempFolder, "orbanel-", target, true);
    if (!backup) {
        return false;
    }
    bool copied = copy.Replace(old) && copy.Sync();
    copied = copy.Close() && copied;
    if (!copied) {
        fs::remove(*backup, ec);
        return false;
    }

    TOutFile file;
    if (!file.OpenExisting(target)) {
        fs::remove(*backup, ec);
        return false;
    }
    bool saved = file.Replace(text) && file.Sync();
    saved = file.Close() && saved;
    if (saved) {
        fs::remove(*backup, ec);
        return true;
    }
    bool restored
        = (file.IsOpen() || file.OpenExisting(target)) && file.Replace(old) && file.Sync();
    restored = file.Close() && restored;
    if (restored) {
        fs::remove(*backup, ec);
    }
    return false;
}

TDiskRead ReadPath(const fs::path &path, std::string &text)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        return TDiskRead::Missing;
    }
    if (ec || !fs::is_regular_file(status)) {
        return TDiskRead::Failed;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return TDiskRead::Failed;
    }
    // Unformatted reads: a read error thrown from inside the stream buffer is caught by read()
    // and becomes badbit, where a streambuf iterator would let it escape. An empty file is read
    // like any other.
    std::string content;
    std::array<char, kReadChunk> chunk {};
    do {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        content.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    } while (in && content.size() <= kMaxDiskFileBytes);
    // A file this large is no profile (a log or an image picked by mistake); reading on would
    // only fill the memory.
    if (in.bad() || content.size() > kMaxDiskFileBytes) {
        return TDiskRead::Failed;
    }
    text = std::move(content);
    return TDiskRead::Loaded;
}

} // namespace

TDiskRead ReadDiskFile(const std::string &fileName, std::string &text)
{
    return ReadPath(PathOf(fileName), text);
}

bool SaveDiskFile(const std::string &fileName, std::string_view text)
{
    // A file the reader would refuse is not written: it could not be opened again.
    if (text.size() > kMaxDiskFileBytes) {
        return false;
    }
    const auto target = FollowLinks(PathOf(fileName));
    if (!target) {
        return false;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(*target, ec);
    const bool exists = status.type() != fs::file_type::not_found;
    if (!exists) {
        return ReplaceWhole(*target, false, text) == TReplace::Done;
    }
    if (ec || !fs::is_regular_file(status) || MarkedReadOnly(status) || !MayWrite(*target)) {
        return false;
    }
    std::string old;
    if (ReadPath(*target, old) != TDiskRead::Loaded) {
        return false;
    }
    // Replacing a file with other names would split them from it.
    if (fs::hard_link_count(*target, ec) == 1) {
        switch (ReplaceWhole(*target, true, text)) {
        case TReplace::Done:
            return true;
        case TReplace::Failed:
            return false;
        case TReplace::NotHere:
            break;
        }
    }
    return SaveInPlace(*target, text, old);
}

std::optional<std::uint64_t> FolderDevice(const std::string &fileName)
{
#ifdef _WIN32
    (void)fileName;
    return std::nullopt; // a drive that is gone takes its letter with it
#else
    std::string folder = std::filesystem::path(fileName).parent_path().string();
    if (folder.empty())
        folder = ".";
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_dev);
#endif
}
