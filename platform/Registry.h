// The registry stand-in for the few values the player reads and writes under HKEY_CURRENT_USER.
// Plain values live in a small key-value file, $XDG_CONFIG_HOME/LoxanRadio/registry.reg (else
// ~/.config/...). Three keys map onto the desktop instead:
//   "Software\Microsoft\Windows\CurrentVersion\Run": value N is the XDG autostart entry
//     $XDG_CONFIG_HOME/autostart/<n>.desktop (n = N in lower case); its data is the command;
//   "Software\Microsoft\Windows\CurrentVersion\Internet Settings": "ProxyServer" is built from
//     all_proxy/https_proxy/http_proxy in the form "http=h:p;https=h:p;socks=h:p", "ProxyEnable"
//     is 1 when that text is not empty (read only);
//   "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders": "Desktop" is the user's
//     desktop folder (read only).
// Key and value names match without regard to case; both "\" and "/" separate key names.
// Threading: thread-safe; writes of the key-value file are serialised by an internal mutex and
// replace the file atomically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The path of the key-value file.
std::u16string RegistryFilePath();
// The autostart entry standing for value `name` of the Run key.
std::u16string AutostartEntryPath(std::u16string_view name);

// Reads a text value; false when the key or value does not exist or is not text.
bool RegGetString(std::u16string_view key, std::u16string_view name, std::u16string* data);
// Reads a 32-bit value; false when missing or not a number.
bool RegGetDword(std::u16string_view key, std::u16string_view name, uint32_t* data);
// Writes a value, creating the key; false when the file cannot be written or the key is read only.
bool RegSetString(std::u16string_view key, std::u16string_view name, std::u16string_view data);
bool RegSetDword(std::u16string_view key, std::u16string_view name, uint32_t data);
// Removes a value; true when it is gone afterwards (also when it never existed).
bool RegDeleteValue(std::u16string_view key, std::u16string_view name);

// The browser proxy text built from the proxy environment variables ("" when none is set).
std::u16string ProxyServerFromEnvironment();

// The companion application's installation folder: value "AppPath" of "SOFTWARE\Loxan". True with
// the text when it exists and is at most 255 characters long; false otherwise.
bool GetCompanionInstallPath(std::u16string* path);
