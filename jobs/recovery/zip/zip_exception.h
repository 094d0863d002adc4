#pragma once

#include <stdexcept>
#include <string>

// A failure of the zip writer: a zlib error, a name too long for a header, a file that could not
// be created, read or written, an entry that outgrew its headers, or an archive that cannot be
// appended to. It carries the value that raised it, the cause code derived from that value, the
// system error number for file failures (0 otherwise) and the archive's path (empty while no
// archive is open). The writer throws it; the facade catches every one.
class CZipException : public std::runtime_error {
public:
    // Values the writer raises besides zlib's own result codes.
    static constexpr int kNameTooLong = -107;
    static constexpr int kFileError = -1000;
    static constexpr int kEntryTooLarge = -1001;
    static constexpr int kDamagedArchive = -1002;

    CZipException(int code, std::u16string path, const std::string& what, int systemError = 0);

    int Code() const { return m_code; }
    int Cause() const { return m_cause; }
    int SystemError() const { return m_systemError; }
    const std::u16string& Path() const { return m_path; }

    // The cause code for a raised value: zlib results 1 to -6 map to 2 to 9, the writer's own
    // -101 to -109 to 10 to 18, anything else to 1.
    static int CauseFromCode(int code);

private:
    int m_code;
    int m_cause;
    int m_systemError;
    std::u16string m_path;
};
