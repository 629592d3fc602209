// Reads a kestrup: link into a request's values. A link comes from any page the
// operator opened, so it may hold the keys c, s, p, d, b and e, each once, each
// value in its key's characters; anything else refuses the whole link.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// The values a link gave, by option name ("c", "s", ...), percent-decoded.
using LinkValues = std::map<std::string, std::string>;

// The date word that asks for live video, in options and links alike.
inline constexpr char kLiveDate[] = "live";

// The usual browser limit on a link; a longer one is refused unread.
inline constexpr std::size_t kLongestLink = 2048;

// The refusal of a link beside other arguments.
extern const char kLinkNotAlone[];

// Text from a link as logged: printable ASCII but "%" kept, every other byte as
// a percent escape, so that no page can write lines of its own into the log.
std::string LinkAsLogged(const std::string& text);

// The arguments as the run log shows them: when they hold a link (linkGiven), each as LinkAsLogged shows it.
std::vector<std::string> ArgumentsAsLogged(std::vector<std::string> arguments, bool linkGiven);

// True when any of the arguments begins with "kestrup:", in any letter case.
bool HoldsRequestLink(const std::vector<std::string>& arguments);

// True with values when link is a request link that holds only what a request
// may hold; otherwise false, with refusal saying which key and why.
bool ReadRequestLink(const std::string& link, LinkValues& values, std::string& refusal);

// The options that ask for what values ask for, in the order of the request's
// option table: "-c 7 -s 10.1.2.3 -d 12252010 -b 10:30:00 -e 11:00:00".
std::string EquivalentOptions(const LinkValues& values);
