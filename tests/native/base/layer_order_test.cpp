// Keeps the include order of the source folders: app on top, the feature folders below it,
// then ui, then base. A file includes only from its own folder or from one below it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

int Rank(const std::string& folder) {
    if (folder == "app") return 3;
    if (folder == "ui") return 1;
    if (folder == "base") return 0;
    return 2;  // capture, web, select, output, record, ocr, hotkey, i18n, update
}

TEST(LayerOrder, NoSourceFileIncludesFromAFolderAboveIt) {
    const fs::path src = fs::path(TOVASEN_SOURCE_DIR) / "src";
    const std::regex include(R"rx(^\s*#\s*include\s*"([a-z_]+)/)rx");
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".h" && ext != ".cpp") continue;
        const std::string folder = fs::relative(entry.path(), src).begin()->string();
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            std::smatch m;
            if (!std::regex_search(line, m, include)) continue;
            const std::string target = m[1].str();
            if (!fs::is_directory(src / target)) continue;  // a generated or resource header
            const bool sameFeature = target == folder;
            const bool below = Rank(target) < Rank(folder);
            const bool featureToFeature = Rank(folder) == 2 && Rank(target) == 2;
            EXPECT_TRUE(sameFeature || below || featureToFeature)
                << entry.path().string() << ":" << number << " includes from " << target << "/";
        }
    }
    EXPECT_GT(files, 50) << "the source tree was not found";
}

}  // namespace
