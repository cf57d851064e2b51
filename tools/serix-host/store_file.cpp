#include "store_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

namespace serix::host {
namespace {

namespace fs = std::filesystem;

// The files SQLite keeps beside the database, by the suffix of their names.
struct BesideFile {
  const char* suffix;
  const char* role;
};
constexpr BesideFile kBesideFiles[] = {
    {"-journal", "rollback journal"}, {"-wal", "write-ahead log"}, {"-shm", "shared memory"}};

// What the store is recognised by before SQLite opens it: the database header (the first 100
// bytes) and the b-tree header of the first page after it.
constexpr std::size_t kHeaderBytes = 108;
constexpr std::string_view kHeaderMagic{"SQLite format 3\0", 16};
constexpr std::size_t kUserVersionAt = 60;
constexpr std::size_t kApplicationIdAt = 68;
constexpr std::size_t kFirstPageTypeAt = 100;
constexpr std::size_t kFirstPageCellsAt = 103;
constexpr unsigned char kLeafTablePage = 13;

std::int32_t BigEndian32(const unsigned char* bytes) {
  const std::uint32_t number = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                               (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  return static_cast<std::int32_t>(number);
}

std::string SystemReason(int error) {
  return std::strerror(error);
}

bool Refuse(std::string& cause, std::string text) {
  cause = std::move(text);
  return false;
}

std::string KindOfFile(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// Creates the missing directories of a path, from the top, each 0700.
bool CreateDirectories(const fs::path& directory, std::string& cause) {
  std::vector<fs::path> missing;
  struct stat info {};
  for (fs::path at = directory; !at.empty() && ::lstat(at.c_str(), &info) != 0 && errno == ENOENT;
       at = at.parent_path()) {
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
    if (::mkdir(at->c_str(), 0700) != 0 && errno != EEXIST) {
      return Refuse(cause, "cannot be created: the directory " + at->string() +
                               " cannot be made (" + SystemReason(errno) + ")");
    }
  }
  return true;
}

// Creates the missing file (0600, whatever the umask); another process may have created it
// meanwhile, and it is then checked as any existing file.
bool CreateStoreFile(const fs::path& file, std::string& cause) {
  if (!CreateDirectories(file.parent_path(), cause)) return false;
  const int created =
      ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (created < 0 && errno != EEXIST) {
    return Refuse(cause, "cannot be created (" + SystemReason(errno) + ")");
  }
  if (created >= 0) {
    ::fchmod(created, 0600);
    ::close(created);
  }
  return true;
}

// Ours by its marks; or an empty database (a new file, or one holding no tables yet) with
// nothing beside it to roll back into it; anything else is refused here, before SQLite could
// write a journal or a WAL of another program's back into it.
bool CheckHeader(const fs::path& file, int descriptor, std::string& cause) {
  unsigned char header[kHeaderBytes] = {};
  const ssize_t read = ::pread(descriptor, header, sizeof header, 0);
  if (read < 0) return Refuse(cause, "cannot be read (" + SystemReason(errno) + ")");
  if (read == 0) return true;
  const auto size = static_cast<std::size_t>(read);
  if (size < kHeaderMagic.size() || std::string_view(reinterpret_cast<const char*>(header),
                                                     kHeaderMagic.size()) != kHeaderMagic) {
    return Refuse(cause, "is not an SQLite database (file is not a database); it is left as it is");
  }
  if (size < sizeof header) {
    return Refuse(cause, "is damaged (it ends within its header); it is left as it is");
  }
  const std::int64_t applicationId = BigEndian32(header + kApplicationIdAt);
  const std::int64_t version = BigEndian32(header + kUserVersionAt);
  if (applicationId == kStoreApplicationId && version == kStoreSchemaVersion) return true;
  const bool noTables = header[kFirstPageTypeAt] == kLeafTablePage &&
                        header[kFirstPageCellsAt] == 0 && header[kFirstPageCellsAt + 1] == 0;
  bool somethingBeside = false;
  for (const char* suffix : {"-journal", "-wal"}) {
    struct stat info {};
    const std::string name = file.string() + suffix;
    somethingBeside |= ::lstat(name.c_str(), &info) == 0 && info.st_size > 0;
  }
  if (applicationId == 0 && version == 0 && noTables && !somethingBeside) return true;
  return Refuse(cause, NotOurStore(applicationId, version));
}

// The name with its links followed, also to a file not there yet, and its folders' links
// resolved as far as they exist.
fs::path ResolvedName(const fs::path& name) {
  std::error_code ignored;
  fs::path at = fs::absolute(name, ignored);
  for (int link = 0; link < 40 && fs::is_symlink(at, ignored); ++link) {
    const fs::path target = fs::read_symlink(at, ignored);
    at = target.is_absolute() ? target : at.parent_path() / target;
  }
  return fs::weakly_canonical(at.parent_path(), ignored) / at.filename();
}

// Whether the file behind `target` is the store or one of the files beside it that exist.
bool IsStoreOwnIdentity(const fs::path& file, const struct stat& target) {
  std::vector<std::string> own = {file.string()};
  for (const BesideFile& beside : kBesideFiles) own.push_back(file.string() + beside.suffix);
  return std::any_of(own.begin(), own.end(), [&target](const std::string& name) {
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 && info.st_dev == target.st_dev &&
           info.st_ino == target.st_ino;
  });
}

}  // namespace

bool VetStoreFile(const fs::path& file, bool create, VettedStoreFile& vetted, std::string& cause) {
  vetted = VettedStoreFile{};
  // What SQLite would meet is checked first, so that a FIFO or a device is refused rather than
  // read (which could block for ever or never end) and a link is never followed.
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) {
    if (errno != ENOENT) return Refuse(cause, "cannot be reached (" + SystemReason(errno) + ")");
    if (!create) return true;  // reads and deletions create nothing
    if (!CreateStoreFile(file, cause)) return false;
    if (::lstat(file.c_str(), &info) != 0) {
      return Refuse(cause, "cannot be reached (" + SystemReason(errno) + ")");
    }
  }
  if (S_ISLNK(info.st_mode)) {
    return Refuse(cause,
                  "is a symbolic link; a registry is never opened through one, and the link is "
                  "left as it is");
  }
  if (S_ISDIR(info.st_mode)) return Refuse(cause, "is a directory, not a registry file");
  if (!S_ISREG(info.st_mode)) {
    return Refuse(cause, "is " + KindOfFile(info.st_mode) + ", not a registry file");
  }
  if (!CheckBesideStore(file, cause)) return false;
  const int readable = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (readable < 0) return Refuse(cause, "cannot be read (" + SystemReason(errno) + ")");
  const bool ours = CheckHeader(file, readable, cause);
  ::close(readable);
  if (!ours) return false;

  // SQLite refuses any link on the way (SQLITE_OPEN_NOFOLLOW), so the folders' are resolved.
  std::error_code unreachable;
  const fs::path folder =
      fs::canonical(file.has_parent_path() ? file.parent_path() : fs::path("."), unreachable);
  if (unreachable) return Refuse(cause, "cannot be reached (" + unreachable.message() + ")");
  vetted.exists = true;
  vetted.resolved = folder / file.filename();
  return true;
}

bool CheckBesideStore(const fs::path& file, std::string& cause) {
  for (const BesideFile& beside : kBesideFiles) {
    const std::string name = file.string() + beside.suffix;
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0) {
      if (errno == ENOENT) continue;
      return Refuse(cause, "cannot be used: " + name + " beside it cannot be reached (" +
                               SystemReason(errno) + ")");
    }
    if (S_ISREG(info.st_mode)) continue;
    // SQLite would follow a link there, and opening a FIFO would wait for ever.
    const std::string kind = S_ISLNK(info.st_mode)   ? "a symbolic link"
                             : S_ISDIR(info.st_mode) ? "a directory"
                                                     : KindOfFile(info.st_mode);
    return Refuse(cause, "cannot be used: " + name + " beside it, where SQLite keeps its " +
                             beside.role + ", is " + kind + "; both are left as they are");
  }
  return true;
}

bool CheckStoreSize(const fs::path& file, std::int64_t pages, std::int64_t pageSize,
                    bool writeAheadLog, std::string& cause) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    return Refuse(cause, "cannot be reached (" + SystemReason(errno) + ")");
  }
  // With a write-ahead log the file lags behind the pages that SQLite counts until the log is
  // written back, so there only whole pages tell a sound file from a cut one.
  const bool sound =
      writeAheadLog ? info.st_size % pageSize == 0 : info.st_size == pages * pageSize;
  if (sound) return true;
  return Refuse(cause, "is damaged (it holds " + std::to_string(info.st_size) +
                           " bytes where its header gives " + std::to_string(pages) + " pages of " +
                           std::to_string(pageSize) + "); it is left as it is");
}

std::string NotOurStore(std::int64_t applicationId, std::int64_t version) {
  return "is not a Serix registry but another program's SQLite database (application id " +
         std::to_string(applicationId) + ", schema version " + std::to_string(version) +
         "); it is left as it is";
}

bool CheckStoreFolderWritable(const fs::path& file, std::string& cause) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  if (::access(file.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK | X_OK) == 0) {
    return true;
  }
  return Refuse(cause, "cannot be written: its folder " + folder.string() + " cannot be written (" +
                           SystemReason(errno) +
                           "), and SQLite needs to create its journal there, beside the store");
}

bool IsStoreOwnFile(const fs::path& file, const fs::path& other) {
  // By name, present or not: SQLite takes any file of such a name for its own and deletes it.
  const fs::path named = ResolvedName(other);
  const fs::path store = ResolvedName(file);
  if (named == store) return true;
  for (const BesideFile& beside : kBesideFiles) {
    if (named == store.string() + beside.suffix) return true;
  }
  // By identity, through any link.
  struct stat target {};
  return ::stat(other.c_str(), &target) == 0 && IsStoreOwnIdentity(file, target);
}

bool IsStoreOwnDescriptor(const fs::path& file, int descriptor) {
  struct stat target {};
  return ::fstat(descriptor, &target) == 0 && IsStoreOwnIdentity(file, target);
}

fs::path DefaultRegistryFile() {
  fs::path configHome;
  // A relative XDG_CONFIG_HOME or HOME is not valid and is ignored, rather than putting the
  // store under whatever the current folder is.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    configHome = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    configHome = fs::path(home) / ".config";
  } else if (const passwd* user = ::getpwuid(::getuid());
             user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/') {
    configHome = fs::path(user->pw_dir) / ".config";
  } else {
    return {};
  }
  return configHome / "serix" / "registry.db";
}

}  // namespace serix::host
