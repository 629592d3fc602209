// The client init document: the XML file that tells the video client which system and input to show, live or
// over a search window, and where to put its window.
#pragma once

#include <string>

#include <tinyxml.h>

#include "camera_directory.h"
#include "platform.h"

// Looks the camera up under MakeCameraKey(systemText, cameraNumber) and builds the document into document,
// which must be empty, with the window placed for this machine's screen. beginTime and endTime are calendar
// times, used only when live is false. False, with the run log line, when the camera is not in the directory;
// document is then of no use.
bool BuildClientInitDocument(TiXmlDocument& document, int cameraNumber, const std::string& systemText,
                             int beginTime, int endTime, bool live);

// Puts a built document in one step at outputPath or, while that is held for an earlier run's client, at
// another slot beside it: savedPath. A reader sees an earlier file whole or the new one whole. False, with
// the run log line, when it could not be written (the earlier file stays as it was). Printing it with
// TiXmlDocument::SaveFile(FILE*) gives the same text.
bool SaveClientInitDocument(const TiXmlDocument& document, const char* outputPath, std::string& savedPath);

// The first child element of parent named name; when there is none, a new one
// appended as parent's last child.
TiXmlElement* FindOrAddChild(TiXmlNode* parent, const std::string& name);

// The first child element of parent named name whose attribute attributeName equals attributeValue exactly;
// when there is none, a new one carrying only that attribute, appended as parent's last child.
TiXmlElement* FindOrAddChildWithAttribute(TiXmlNode* parent, const std::string& name,
                                          const std::string& attributeName,
                                          const std::string& attributeValue);

// Where the client window's top-left corner goes.
struct WindowPlace {
    int top;
    int left;
};

// The configured Top and Left as a pair, unless both are -1: then the window's bottom-right corner sits on
// the screen's bottom-right corner. No clamping; the sums wrap as 32-bit two's complement arithmetic does.
WindowPlace PlaceClientWindow(const ClientWindowSettings& settings, const VirtualScreen& screen);
