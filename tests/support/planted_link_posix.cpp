#include "planted_link.h"

#include <filesystem>

#include <unistd.h>

std::string WhyNoLinksCanBePlanted() { return ""; }

bool PlantedThroughTheHost() { return false; }

bool PlantLink(const std::string& directory, const std::string& name, const std::string& target) {
    return symlink(target.c_str(), (directory + "/" + name).c_str()) == 0;
}

bool RemovePlantedLinks(const std::string& directory) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.is_symlink(error) && unlink(entry.path().c_str()) != 0) return false;
    }
    return !error;
}
