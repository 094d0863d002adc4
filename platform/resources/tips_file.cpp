#include "platform/resources/tips_file.h"

#include "platform/text/utf_conversion.h"

#include <fstream>
#include <iterator>
#include <system_error>

bool TipsFile::Open(const std::filesystem::path& file) {
    m_open = false;
    m_text.clear();
    m_position = 0;
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxFileBytes)
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    OpenText(text);
    return true;
}

void TipsFile::OpenText(std::string_view text) {
    m_text.assign(text.substr(0, kMaxFileBytes));
    m_position = 0;
    m_open = true;
}

void TipsFile::Seek(uint64_t position) {
    if (position >= m_text.size()) {
        m_position = 0;
        return;
    }
    m_position = position;
    if (position == 0 || m_text[position - 1] == '\n')
        return;
    const size_t end = m_text.find('\n', position);
    m_position = end == std::string::npos ? 0 : end + 1;
}

std::optional<TipsFile::Tip> TipsFile::Next() {
    if (!m_open || m_text.empty())
        return std::nullopt;
    if (m_position >= m_text.size())
        m_position = 0;
    // Every line is looked at once at most: from the position to the end, then from the
    // start back to the position.
    const uint64_t start = m_position;
    bool wrapped = false;
    while (true) {
        if (m_position >= m_text.size()) {
            if (start == 0 || wrapped)
                return std::nullopt;
            m_position = 0;
            wrapped = true;
        }
        if (wrapped && m_position >= start)
            return std::nullopt;
        const size_t end = m_text.find('\n', m_position);
        const size_t lineEnd = end == std::string::npos ? m_text.size() : end;
        const std::string_view line(m_text.data() + m_position, lineEnd - m_position);
        m_position = end == std::string::npos ? m_text.size() : end + 1;
        if (std::optional<Tip> tip = ParseLine(line))
            return tip;
    }
}

std::optional<TipsFile::Tip> TipsFile::ParseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return std::nullopt;
    const char first = line.front();
    if (first == ' ' || first == '\t' || first == '\r' || first == ';')
        return std::nullopt;
    std::u16string whole = Utf8ToUtf16(line);
    if (whole.size() > kMaxLineCharacters)
        whole.resize(kMaxLineCharacters);
    Tip tip;
    std::u16string* fields[] = {&tip.text, &tip.heading, &tip.third};
    size_t field = 0;
    for (const char16_t unit : whole) {
        if (unit == u'\t') {
            ++field;
            if (field >= std::size(fields))
                break;
            continue;
        }
        fields[field]->push_back(unit);
    }
    return tip;
}
