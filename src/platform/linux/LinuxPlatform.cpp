#include "platform/linux/LinuxPlatform.h"

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "platform/FileServices.h"
#include "platform/ProfileFile.h"
#include "platform/UserSettings.h"
#include "platform/linux/KitClaim.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/PosixFile.h"

namespace tolvane::platform {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The base folders of the desktop's conventions count only when they are absolute.
std::string AbsoluteEnvironment(const char* name) {
    std::string value = Environment(name);
    return !value.empty() && value.front() == '/' ? value : "";
}

struct UserEntry {
    std::string name;
    std::string home;
};

std::optional<UserEntry> LookUpUser(uid_t uid) {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr)
            return std::nullopt;
        return UserEntry{entry.pw_name ? entry.pw_name : "", entry.pw_dir ? entry.pw_dir : ""};
    }
}

// A folder of this user's own under the temporary folder, for sessions without a runtime
// folder: private, so that nobody else can hold or remove the single-instance lock.
std::string PrivateTemporaryFolder() {
    std::string base = Environment("TMPDIR");
    if (base.empty())
        base = "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::string folder = base + "/tolvane-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno == EEXIST) {
        struct stat info {};
        if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
            info.st_uid == ::geteuid()) {
            ::chmod(folder.c_str(), 0700);
        }
    }
    return folder;
}

std::string ExecutablePath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace

LinuxPaths LinuxPaths::FromEnvironment() {
    std::string home = Environment("HOME");
    if (home.empty()) {
        if (const auto user = LookUpUser(::geteuid()))
            home = user->home;
    }
    std::string config = AbsoluteEnvironment("XDG_CONFIG_HOME");
    if (config.empty())
        config = home + "/.config";

    LinuxPaths paths;
    paths.registryDir = Environment("TOLVANE_REGISTRY_DIR");
    if (paths.registryDir.empty())
        paths.registryDir = config + "/tolvane/registry";
    paths.autostartDir = config + "/autostart";
    paths.runtimeDir = AbsoluteEnvironment("XDG_RUNTIME_DIR");
    if (paths.runtimeDir.empty())
        paths.runtimeDir = PrivateTemporaryFolder();
    paths.programFolder = Environment("TOLVANE_HOME");
    paths.programFilesFolder = Environment("ProgramFiles");
    if (paths.programFilesFolder.empty())
        paths.programFilesFolder = "/opt";
    paths.homeFolder = home;
    paths.launcher = AbsoluteEnvironment("TOLVANE_LAUNCHER");
    paths.activityLogFolder = Environment("TOLVANE_REGISTRO");
    if (paths.activityLogFolder.empty()) {
        std::string state = AbsoluteEnvironment("XDG_STATE_HOME");
        if (state.empty())
            state = home + "/.local/state";
        paths.activityLogFolder = state + "/tolvane/registro";
    }
    return paths;
}

std::unique_ptr<Platform> CreatePlatform() {
    return std::make_unique<LinuxPlatform>(LinuxPaths::FromEnvironment());
}

namespace {

// The locale that decides how dates are read, as the C library would choose it.
std::string TimeLocaleName() {
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const std::string value = Environment(name);
        if (!value.empty())
            return value;
    }
    return "C";
}

// Without the locale's data installed, the order of the usual month-first and year-first
// territories; everyone else writes the day first.
DateStyle FallbackDateStyle(const std::string& locale) {
    const std::string tag = locale.substr(0, locale.find_first_of(".@"));
    for (const char* monthFirst : {"en_US", "en_PH", "en_CA", "es_US", "en_AS", "en_PR"}) {
        if (tag == monthFirst)
            return {DateOrder::MonthDayYear, '/'};
    }
    for (const char* yearFirst : {"zh", "ja", "ko", "hu", "lt", "sv", "mn"}) {
        if (tag.rfind(yearFirst, 0) == 0)
            return {DateOrder::YearMonthDay, '-'};
    }
    return {};
}

DateStyle LocaleDateStyle() {
    const std::string name = TimeLocaleName();
    // The C and POSIX locales do not say how their users write dates.
    if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0)
        return {};
    locale_t locale = ::newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return FallbackDateStyle(name);
    const DateStyle style = DateStyleFromPattern(::nl_langinfo_l(D_FMT, locale));
    ::freelocale(locale);
    return style;
}

}  // namespace

LinuxPlatform::LinuxPlatform(LinuxPaths paths)
    : paths_(std::move(paths)),
      registry_(std::make_unique<LinuxRegistry>(paths_.registryDir, paths_.autostartDir)),
      dateStyle_(LocaleDateStyle()),
      claimWatch_(std::make_unique<posix::ClaimWatch>()) {}

LinuxPlatform::~LinuxPlatform() = default;

std::optional<DateTime> LinuxPlatform::RecognizeDate(const std::string& text) {
    return platform::RecognizeDate(text, dateStyle_.order);
}

std::string LinuxPlatform::GeneralDate(const DateTime& value) {
    return FormatGeneralDate(value, dateStyle_);
}

Registry& LinuxPlatform::registry() {
    return *registry_;
}

std::string LinuxPlatform::GetPrivateProfileString(const std::string& section,
                                                   const std::string& key,
                                                   const std::string& defaultValue,
                                                   const std::string& file) {
    const auto bytes = ReadWholeFile(file);
    return ProfileValue(bytes ? *bytes : std::string(), section, key, defaultValue);
}

bool LinuxPlatform::WritePrivateProfileString(const std::string& section, const std::string& key,
                                              const std::string& value, const std::string& file) {
    const auto bytes = ReadWholeFile(file);
    // A file that exists but cannot be read must not be replaced by one holding only this key.
    if (!bytes && errno != ENOENT)
        return false;
    return posix::ReplaceFile(
        file, ProfileWithValue(bytes ? *bytes : std::string(), section, key, value), 0666);
}

void LinuxPlatform::SaveSetting(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& value) {
    SaveUserSetting(*registry_, application, section, key, value,
                    "el archivo del registro " + registry_->RootFile(RegistryRoot::CurrentUser));
}

std::string LinuxPlatform::GetSetting(const std::string& application, const std::string& section,
                                      const std::string& key, const std::string& defaultValue) {
    return GetUserSetting(*registry_, application, section, key, defaultValue);
}

std::optional<std::string> LinuxPlatform::LogonName() {
    const auto user = LookUpUser(::geteuid());
    if (!user || user->name.empty())
        return std::nullopt;
    return user->name;
}

bool LinuxPlatform::PreviousInstanceRunning() {
    if (instanceLock_)
        return false;
    posix::MakeFolders(paths_.runtimeDir, 0700);
    const std::string path = paths_.runtimeDir + "/tolvane.lock";
    // The lock goes with the descriptor, so a crashed instance never blocks the next start.
    FileHandle lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    // Without a lock file there is no telling; this instance runs.
    if (!lock)
        return false;
    while (::flock(static_cast<int>(lock.get()), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return errno == EWOULDBLOCK;
    }
    instanceLock_ = std::move(lock);
    return false;
}

std::string LinuxPlatform::ProgramFolder() {
    std::string folder = paths_.programFolder;
    if (folder.empty()) {
        const std::string executable = ExecutablePath();
        const std::size_t slash = executable.rfind('/');
        folder = slash == std::string::npos ? std::string() : executable.substr(0, slash);
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string LinuxPlatform::ExecutableName() {
    const std::string executable = ExecutablePath();
    return executable.substr(executable.rfind('/') + 1);
}

std::string LinuxPlatform::ProgramPath() {
    return paths_.launcher.empty() ? Platform::ProgramPath() : paths_.launcher;
}

std::string LinuxPlatform::ProgramFilesFolder() {
    return paths_.programFilesFolder;
}

FileState LinuxPlatform::Examine(const std::string& path) {
    return posix::Examine(path);
}

void LinuxPlatform::UseProgramOdbcDrivers() {
    if (std::getenv("ODBCSYSINI") != nullptr)
        return;
    const std::string folder = ProgramFolder() + "/odbc";
    if (::access((folder + "/odbcinst.ini").c_str(), R_OK) == 0)
        ::setenv("ODBCSYSINI", folder.c_str(), 1);
}

void LinuxPlatform::ReturnFreeMemory() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

DateTime LinuxPlatform::LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string LinuxPlatform::KnownHostsFile() {
    // Without a home no key is known, so no SSH server is trusted.
    return paths_.homeFolder.empty() ? "/dev/null" : paths_.homeFolder + "/.ssh/known_hosts";
}

std::unique_ptr<FolderClaim> LinuxPlatform::ClaimFolder(const std::string& folder) {
    return posix::ClaimFolder(folder, *claimWatch_);
}

}  // namespace tolvane::platform
