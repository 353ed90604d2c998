// A fresh temporary directory, removed with everything in it at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace qv {

class TempDir {
public:
    TempDir() {
        std::string name = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
        if (!::mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
        path_ = name;
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code ec;
        // Permissions a test took away come back first, so that removal works.
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto& e : fs::recursive_directory_iterator(path_, ec))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& content) const {
        std::ofstream(file(name), std::ios::binary) << content;
    }
    std::string read(const std::string& name) const {
        std::ostringstream out;
        out << std::ifstream(file(name), std::ios::binary).rdbuf();
        return out.str();
    }

private:
    std::string path_;
};

}  // namespace qv
