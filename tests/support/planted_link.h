// Symbolic links that tests plant in a program directory, on both builds.
#pragma once

#include <string>

// Why no test here can plant a link, or empty when tests can: Windows lets
// only a user with the privilege to create symbolic links (or any user in
// developer mode) make them. A test that needs a link skips with this reason.
std::string WhyNoLinksCanBePlanted();

// True where links are planted through the host: the Windows build under Wine,
// whose CreateSymbolicLinkA reports success and makes nothing. Wine shows such
// a link as the file it leads to, lists none that leads nowhere, and deleting
// one deletes its target and leaves the link.
bool PlantedThroughTheHost();

// Makes a symbolic link named name in directory that leads to target, a path
// relative to directory written with '/'; the target need not exist. False
// when no link was made.
bool PlantLink(const std::string& directory, const std::string& name, const std::string& target);

// Removes the symbolic links in directory, and nothing they lead to, so that
// the directory can be removed. False when they could not all be removed.
bool RemovePlantedLinks(const std::string& directory);
