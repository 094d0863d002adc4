#include "jobs/recovery/zip/zip_exception.h"

#include <utility>

CZipException::CZipException(int code, std::u16string path, const std::string& what,
                             int systemError)
    : std::runtime_error(what), m_code(code), m_cause(CauseFromCode(code)),
      m_systemError(systemError), m_path(std::move(path)) {}

int CZipException::CauseFromCode(int code) {
    if (code >= -6 && code <= 2 && code != 0)
        return code > 0 ? code + 1 : 3 - code;
    if (code >= -109 && code <= -101)
        return -code - 91;
    return 1;
}
