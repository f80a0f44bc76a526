#pragma once
// A folder for the file writer's tests, and small file helpers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velto::test {

class WriterFolder {
public:
    WriterFolder() {
        char tmpl[] = "/tmp/velto-writer-XXXXXX";
        path_ = ::mkdtemp(tmpl);
        ::chmod(path_.c_str(), 0777);
    }
    ~WriterFolder() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string path_;
};

inline void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
inline std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline std::vector<std::uint8_t> B(const std::string& s) { return {s.begin(), s.end()}; }

inline struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

}  // namespace velto::test
