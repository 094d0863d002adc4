#pragma once

#include <string>
#include <string_view>
#include <vector>

// One name of a folder listing.
struct FtpListEntry {
    std::u16string name;
    bool isFolder = false;
};

// A name of a folder listing as the server sent it: UTF-8 bytes, unchecked, so that a name can
// be matched byte for byte against the one a request used.
struct FtpListedName {
    std::string name;
    bool isFolder = false;
};

// How a server lays out a folder listing: the facts of MLSD, or the LIST lines of Unix and DOS
// servers.
enum class FtpListingFormat {
    Machine,
    Plain,
};

// The entries of a listing as the server sent it (UTF-8 names, lines ending in LF or CR LF),
// without "." and ".."; lines the format does not explain are skipped.
std::vector<FtpListEntry> ParseFtpListing(std::string_view text, FtpListingFormat format);
// The same entries with their names left as the server's bytes.
std::vector<FtpListedName> ParseFtpListingNames(std::string_view text, FtpListingFormat format);
// Names as they are shown: UTF-16.
std::vector<FtpListEntry> ToFtpListEntries(const std::vector<FtpListedName>& names);
