#pragma once

enum class FtpResult {
    Ok,
    // The server refused (no such folder, no permission, a bad name): the connection stays.
    Failed,
    // The connection is gone; every later call fails the same way until Connect.
    ConnectionLost,
};
