// Symbolic links that tests plant in a program directory, on both builds.
#pragma once

#include <string>

// Makes a symbolic link named name in directory that leads to target, a path
// relative to directory written with '/'; the target need not exist. On
// Windows (under Wine) the host's own ln makes a Unix link, which Wine then
// shows as a plain file: CreateSymbolicLinkA there reports success and makes
// nothing. False when no link was made.
bool PlantLink(const std::string& directory, const std::string& name, const std::string& target);

// Removes the symbolic links in directory, and nothing they lead to, so that
// the directory can be removed: under Wine, deleting a link deletes its target
// and leaves the link. False when they could not all be removed.
bool RemovePlantedLinks(const std::string& directory);
