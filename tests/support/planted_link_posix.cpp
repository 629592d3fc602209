#include "planted_link.h"

#include <unistd.h>

bool PlantLink(const std::string& directory, const std::string& name, const std::string& target) {
    return symlink(target.c_str(), (directory + "/" + name).c_str()) == 0;
}
