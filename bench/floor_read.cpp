// The least reading a site configuration can cost: the file into a TinyXML
// document with the stream extraction, and nothing else.
#include <fstream>

#include <tinyxml.h>

int main(int argc, char* argv[]) {
    if (argc != 2) return 2;
    std::ifstream in(argv[1]);
    if (!in) return 1;
    TiXmlDocument document;
    in >> document;
    return document.Error() ? 1 : 0;
}
