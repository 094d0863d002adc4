#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where to log on: the server box of the FTP settings holds "host" or "host:port".
struct FtpEndpoint {
    static constexpr uint16_t kDefaultPort = 21;
    std::string host;
    uint16_t port = kDefaultPort;
    std::string user;
    std::string password;

    // "host" or "host:port" (port 1 to 65535); nullopt for an empty host, a bad port, or any
    // CR, LF or NUL in the three texts.
    static std::optional<FtpEndpoint> Parse(std::u16string_view server, std::u16string_view user,
                                            std::u16string_view password);
};
