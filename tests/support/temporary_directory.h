#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace kulverant::testing {

/// A fresh directory that is removed with everything in it on destruction.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

/// Every entry of a directory (name to content; "<dir>" for a directory),
/// so that a test can compare all of it at once.
std::map<std::string, std::string> directoryContents(const std::filesystem::path& directory);

} // namespace kulverant::testing
