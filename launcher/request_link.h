// Reads a kestrup: link, as a web page hands it over, into a request's values.
//
// A link comes from a page the operator happened to open, so it may ask for a
// request and nothing more: the keys are the request's option letters c, s, p,
// d, b and e, each at most once, each value in its key's characters. Anything
// else refuses the whole link, with a reason that names the key and why.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// The values a link gave, by option name ("c", "s", ...), percent-decoded.
using LinkValues = std::map<std::string, std::string>;

// The date word that asks for live video, in options and links alike.
inline constexpr char kLiveDate[] = "live";

// Links longer than this are refused before they are read: the usual browser
// limit on a link.
inline constexpr std::size_t kLongestLink = 2048;

// The reason given when a link stands beside other arguments: a link must be
// the whole command line.
extern const char kLinkNotAlone[];

// Text from a link as the run log shows it: printable ASCII but "%" kept, every
// other byte written as a percent escape (a line end as %0A, "%" as %25), so
// that no page can write lines of its own into the log.
std::string LinkAsLogged(const std::string& text);

// The arguments as the run log shows them: when they hold a link (linkGiven),
// each as LinkAsLogged shows it.
std::vector<std::string> ArgumentsAsLogged(std::vector<std::string> arguments, bool linkGiven);

// True when argument begins with the scheme "kestrup:", in any letter case.
bool IsRequestLink(const std::string& argument);

// True when any of the arguments is a link.
bool HoldsRequestLink(const std::vector<std::string>& arguments);

// True with values when link is a request link that holds only what a request
// may hold; otherwise false, with refusal saying which key and why.
bool ReadRequestLink(const std::string& link, LinkValues& values, std::string& refusal);

// The options that ask for what values ask for, in the order of the request's
// option table: "-c 7 -s 10.1.2.3 -d 12252010 -b 10:30:00 -e 11:00:00".
std::string EquivalentOptions(const LinkValues& values);
