// Names of manual recordings: "<folder><name>_<y>-<m>-<d>_<h>_<min>_<s>.mp3", the station name
// made safe for a file name, and the recording folder from the configuration.
// Threading: free functions; RecordFolder reads and writes the configuration (main thread).
#pragma once

#include <string>
#include <string_view>

#include "playback/IPlayClock.h"

// Every character a file name must not hold ("\\ : / ' * ? \" < > |" and NUL) becomes "_";
// an empty name becomes "temp".
std::u16string SafeRecordName(std::u16string_view name);
// `folder` ends in a separator. The name is shortened (never the folder, the time or ".mp3")
// so that the path holds at most 255 UTF-16 units and the file name at most 255 UTF-8 bytes.
std::u16string RecordFileName(std::u16string_view folder, std::u16string_view name, const LocalTime& t);
// "RecordFilePath", or, when empty, the music folder + "/录音/" (then stored); always ends in "/".
std::u16string RecordFolder();
