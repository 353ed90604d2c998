// A fresh temporary directory, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/file_names.h"

namespace qv {

class TempDir {
public:
    TempDir() {
        // A name no other folder has: create_directory fails on one that exists.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto name = std::filesystem::temp_directory_path() / ("quorvel-test-" + std::to_string(random()));
            std::error_code ec;
            if (!std::filesystem::create_directory(name, ec)) continue;
            std::filesystem::permissions(name, std::filesystem::perms::owner_all, ec);  // for this user alone
            path_ = utf8Name(name);
        }
        if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
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
        std::ofstream(pathFromUtf8(file(name)), std::ios::binary) << content;
    }
    std::string read(const std::string& name) const {
        std::ostringstream out;
        out << std::ifstream(pathFromUtf8(file(name)), std::ios::binary).rdbuf();
        return out.str();
    }

private:
    std::string path_;
};

}  // namespace qv
