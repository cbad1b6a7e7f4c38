#pragma once
// A temporary folder tree, removed again at the end of the test; file contents in and out; a
// switch to a locale that is built on demand when the system does not have it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel::testing {

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
// How many entries a folder holds (a left-over temporary file shows here).
inline long entryCount(const std::string& folder) {
    return long(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// Everything under folder, sorted and relative to it: "name/" for a folder, "name=bytes" for a file
// (only "name" without contents).
inline std::string listing(const std::string& folder, bool contents = true) {
    std::set<std::string> entries;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string rel = std::filesystem::relative(e.path(), folder).string();
        entries.insert(e.is_directory() ? rel + "/" : contents ? rel + "=" + readFile(e.path().string()) : rel);
    }
    std::string s;
    for (const std::string& e : entries) s += (s.empty() ? "" : " ") + e;
    return s;
}

class TempTree {
public:
    TempTree() {
        root_ = std::filesystem::temp_directory_path() /
                ("korvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    ~TempTree() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root with a trailing "/", as ListFolder's paths start.
    std::string root() const { return root_.string() + "/"; }
    std::string operator/(const std::string& rel) const { return root() + rel; }
    std::string dir() const { return root_.string(); }  // without the trailing "/"

    // A file of size bytes; sizes beyond a few bytes are made sparse.
    void file(const std::string& rel, int64_t size) const {
        std::filesystem::create_directories((root_ / rel).parent_path());
        int fd = ::open((root_ / rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) throw std::runtime_error("cannot create " + rel);
        int rc = 0;
        if (size > 0 && size < 64) rc = ::write(fd, "0123456789012345678901234567890123456789012345678901234567890123",
                                                size_t(size)) == size ? 0 : -1;
        else if (size > 0) rc = ::ftruncate(fd, size);
        ::close(fd);
        if (rc != 0) throw std::runtime_error("cannot size " + rel);
    }
    // A file holding bytes; returns its path.
    std::string write(const std::string& rel, const std::string& bytes) const {
        std::filesystem::create_directories((root_ / rel).parent_path());
        writeFile(root() + rel, bytes);
        return root() + rel;
    }
    std::string read(const std::string& rel) const { return readFile(root() + rel); }
    long count(const std::string& rel = "") const { return entryCount(root() + rel); }
    void folder(const std::string& rel) const { std::filesystem::create_directories(root_ / rel); }
    void link(const std::string& target, const std::string& rel) const {
        std::filesystem::create_directories((root_ / rel).parent_path());
        std::filesystem::create_symlink(target, root_ / rel);
    }
    void mtime(const std::string& rel, std::time_t t) const {
        timespec times[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, (root_ / rel).c_str(), times, 0);
    }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path root_;
};

// Sets LC_ALL to name, compiling the locale with localedef into a private folder (LOCPATH) when
// the system lacks it. Returns false when neither works; restores the C locale when destroyed.
class ScopedLocale {
public:
    explicit ScopedLocale(const std::string& name) {
        if (std::setlocale(LC_ALL, name.c_str())) {
            ok_ = true;
            return;
        }
        // name is like "en_US.UTF-8": source "en_US", charmap "UTF-8".
        size_t dot = name.find('.');
        if (dot == std::string::npos) return;
        std::string dir = std::filesystem::temp_directory_path() / "korvel-test-locales";
        const std::string target = dir + "/" + name;
        if (!std::filesystem::exists(target + "/LC_COLLATE")) {
            // Built beside the target and renamed into place, so parallel test runs never see
            // half a locale.
            std::filesystem::create_directories(dir);
            std::string part = target + ".part" + std::to_string(::getpid());
            std::string cmd = "localedef -i " + name.substr(0, dot) + " -f " + name.substr(dot + 1) + " " + part +
                              " >/dev/null 2>&1";
            int rc = std::system(cmd.c_str());
            std::error_code ec;
            if (rc == 0) std::filesystem::rename(part, target, ec);
            std::filesystem::remove_all(part, ec);
            if (!std::filesystem::exists(target + "/LC_COLLATE")) return;
        }
        ::setenv("LOCPATH", dir.c_str(), 1);
        usedLocpath_ = true;
        ok_ = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    }
    ~ScopedLocale() {
        std::setlocale(LC_ALL, "C");
        if (usedLocpath_) ::unsetenv("LOCPATH");
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    bool usedLocpath_ = false;
};

// Sets (or, given nullptr, removes) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() { had_ ? ::setenv(name_.c_str(), old_.c_str(), 1) : ::unsetenv(name_.c_str()); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

// Sets TZ for the scope; the zone is read again once the old value is back.
class ScopedTimeZone {
    struct Reread {
        ~Reread() { ::tzset(); }
    } reread_;  // destroyed after env_
    ScopedEnv env_;

public:
    explicit ScopedTimeZone(const char* tz) : env_("TZ", tz) { ::tzset(); }
};

}  // namespace korvel::testing
