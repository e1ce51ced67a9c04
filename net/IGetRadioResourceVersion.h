// Told when the package query service reports a package newer than the one installed.
// Threading: called on the user-interface thread (inside the HTTP client's delivery).
#pragma once

#include "net/RadioResourceVersionInfo.h"

class IGetRadioResourceVersion {
public:
    // Starts the download of the package `info` describes (the main window does this).
    virtual void OnNewRadioResourceVersion(const RadioResourceVersionInfo& info) = 0;

protected:
    ~IGetRadioResourceVersion() = default;
};
