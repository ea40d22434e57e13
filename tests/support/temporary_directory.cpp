#include "temporary_directory.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace kulverant::testing {

TemporaryDirectory::TemporaryDirectory() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() / ("kulverant-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary directory");
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    // Tests take write permission away; give it back so removal succeeds.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
        if (!entry.is_symlink())
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::map<std::string, std::string> directoryContents(const std::filesystem::path& directory) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        std::string name = entry.path().filename().string();
        if (entry.is_symlink())
            contents[name] = "<link>";
        else if (entry.is_directory())
            contents[name] = "<dir>";
        else
            contents[name] = readFile(entry.path());
    }
    return contents;
}

} // namespace kulverant::testing
