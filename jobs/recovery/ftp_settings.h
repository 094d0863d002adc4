#pragma once

#include <string>

// The FTP server a recovery writes to, as the user last gave it: "host" or "host:port", the
// user name and the password. Kept for the program's run only, never stored on disk.
struct FtpSettings {
    std::u16string server;
    std::u16string user;
    std::u16string password;
};
