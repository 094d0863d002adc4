#include "platform/text/format_text.h"

#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <optional>

namespace {

constexpr std::u16string_view kNullText = u"(null)";
constexpr std::u16string_view kMissing = u"MISSING";
constexpr std::u16string_view kBadType = u"BADTYPE";
constexpr std::u16string_view kUnknown = u"UNKNOWN";
constexpr std::u16string_view kIncomplete = u"%!(INCOMPLETE)";
constexpr std::u16string_view kExtra = u"%!(EXTRA)";
// The conversions that take an argument; FormatArgumentAs formats each.
constexpr std::u16string_view kConversionLetters = u"diuxXocCsSfFeEgGp";

// Enough for the longest fixed-point double (309 integer digits) at the largest precision.
constexpr size_t kNumberBufferSize = kMaxFormatWidth + 400;

struct Conversion {
    bool m_leftAlign = false;
    bool m_zeroPad = false;
    bool m_plusSign = false;
    bool m_spaceSign = false;
    bool m_alternate = false;
    int m_width = 0;
    std::optional<int> m_precision;
    int m_integerBits = 32;
    char16_t m_letter = 0;
};

bool IsDigit(char16_t unit) {
    return unit >= u'0' && unit <= u'9';
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

int ClampWidth(int64_t value) {
    return static_cast<int>(
        std::min<int64_t>(std::max<int64_t>(value, -kMaxFormatWidth), kMaxFormatWidth));
}

void AppendRepeated(std::u16string& out, char16_t unit, size_t count) {
    out.append(count, unit);
}

// Lays out prefix (sign, "0x") and body in width: spaces before or after, or zeros between.
void AppendPadded(std::u16string& out, const Conversion& conversion, std::u16string_view prefix,
                  std::u16string_view body, bool zeroPadAllowed = true) {
    const size_t length = prefix.size() + body.size();
    const size_t padding = static_cast<size_t>(conversion.m_width) > length
                               ? static_cast<size_t>(conversion.m_width) - length
                               : 0;
    if (conversion.m_leftAlign) {
        out.append(prefix);
        out.append(body);
        AppendRepeated(out, u' ', padding);
    } else if (conversion.m_zeroPad && zeroPadAllowed) {
        out.append(prefix);
        AppendRepeated(out, u'0', padding);
        out.append(body);
    } else {
        AppendRepeated(out, u' ', padding);
        out.append(prefix);
        out.append(body);
    }
}

std::u16string WidenAscii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

std::u16string Digits(uint64_t value, unsigned base, bool upperCase) {
    const char* const digitSet = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    char16_t buffer[64];
    size_t start = sizeof(buffer) / sizeof(buffer[0]);
    do {
        buffer[--start] = static_cast<char16_t>(digitSet[value % base]);
        value /= base;
    } while (value != 0);
    return std::u16string(buffer + start, buffer + sizeof(buffer) / sizeof(buffer[0]));
}

std::optional<uint64_t> IntegerBitsOf(const FormatArgument& argument) {
    switch (argument.GetKind()) {
    case FormatArgument::Kind::SignedInteger:
    case FormatArgument::Kind::UnsignedInteger:
    case FormatArgument::Kind::Character:
        return argument.GetIntegerBits();
    default:
        return std::nullopt;
    }
}

std::optional<double> FloatingPointOf(const FormatArgument& argument) {
    switch (argument.GetKind()) {
    case FormatArgument::Kind::FloatingPoint:
        return argument.GetFloatingPoint();
    case FormatArgument::Kind::SignedInteger:
        return static_cast<double>(static_cast<int64_t>(argument.GetIntegerBits()));
    case FormatArgument::Kind::UnsignedInteger:
    case FormatArgument::Kind::Character:
        return static_cast<double>(argument.GetIntegerBits());
    default:
        return std::nullopt;
    }
}

// to_chars of a non-negative finite value; false only if the buffer were too small.
bool ToChars(std::string& out, double value, std::chars_format format, int precision) {
    char buffer[kNumberBufferSize];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, format, precision);
    if (result.ec != std::errc()) {
        return false;
    }
    out.assign(buffer, result.ptr);
    return true;
}

// Removes trailing zeros of the fraction, and the point when nothing follows it.
void StripFractionZeros(std::string& number) {
    const size_t point = number.find('.');
    if (point == std::string::npos) {
        return;
    }
    const size_t exponent = number.find('e');
    const size_t fractionEnd = exponent == std::string::npos ? number.size() : exponent;
    size_t keep = fractionEnd;
    while (keep > point + 1 && number[keep - 1] == '0') {
        --keep;
    }
    if (keep == point + 1) {
        keep = point;
    }
    number.erase(keep, fractionEnd - keep);
}

// Ensures a decimal point, before the exponent if there is one ('#' flag).
void ForcePoint(std::string& number) {
    if (number.find('.') != std::string::npos) {
        return;
    }
    const size_t exponent = number.find('e');
    number.insert(exponent == std::string::npos ? number.size() : exponent, 1, '.');
}

// The digits of a non-negative finite value for f, e or g (lower case), C rules.
bool FloatingPointBody(std::string& out, double magnitude, char letter, int precision,
                       bool alternate) {
    if (letter == 'f') {
        if (!ToChars(out, magnitude, std::chars_format::fixed, precision)) {
            return false;
        }
    } else if (letter == 'e') {
        if (!ToChars(out, magnitude, std::chars_format::scientific, precision)) {
            return false;
        }
    } else {
        // %g: the exponent X of the %e form with P - 1 digits picks %f with P - 1 - X digits when
        // P > X >= -4, else %e with P - 1 digits.
        const int significant = precision == 0 ? 1 : precision;
        if (!ToChars(out, magnitude, std::chars_format::scientific, significant - 1)) {
            return false;
        }
        const size_t e = out.find('e');
        int exponent = 0;
        std::from_chars(out.data() + e + 1 + (out[e + 1] == '+' ? 1 : 0), out.data() + out.size(),
                        exponent);
        if (exponent < significant && exponent >= -4 &&
            !ToChars(out, magnitude, std::chars_format::fixed, significant - 1 - exponent)) {
            return false;
        }
        if (!alternate) {
            StripFractionZeros(out);
        }
    }
    if (alternate) {
        ForcePoint(out);
    }
    return true;
}

class TextFormatter {
public:
    TextFormatter(std::u16string_view format, std::span<const FormatArgument> arguments)
        : m_format(format), m_arguments(arguments) {}

    std::u16string Run() {
        while (m_position < m_format.size()) {
            const size_t percent = m_format.find(u'%', m_position);
            if (percent == std::u16string_view::npos) {
                m_out.append(m_format.substr(m_position));
                break;
            }
            m_out.append(m_format.substr(m_position, percent - m_position));
            m_position = percent + 1;
            FormatConversion();
        }
        if (m_nextArgument < m_arguments.size()) {
            m_out.append(kExtra);
        }
        return std::move(m_out);
    }

private:
    bool AtEnd() const { return m_position >= m_format.size(); }
    char16_t Peek() const { return m_format[m_position]; }
    bool Accept(std::u16string_view text) {
        if (m_format.substr(m_position).starts_with(text)) {
            m_position += text.size();
            return true;
        }
        return false;
    }

    const FormatArgument* TakeArgument() {
        if (m_nextArgument >= m_arguments.size()) {
            return nullptr;
        }
        return &m_arguments[m_nextArgument++];
    }

    void AppendMarker(char16_t letter, std::u16string_view what) {
        m_out.append(u"%!");
        m_out.push_back(letter);
        m_out.push_back(u'(');
        m_out.append(what);
        m_out.push_back(u')');
    }

    // Reads digits, saturating so that a long run of them cannot overflow.
    int ReadNumber() {
        int64_t value = 0;
        while (!AtEnd() && IsDigit(Peek())) {
            value = std::min<int64_t>(value * 10 + (Peek() - u'0'), kMaxFormatWidth);
            ++m_position;
        }
        return static_cast<int>(value);
    }

    // A '*' width or precision; the first problem met is kept for the conversion's marker.
    std::optional<int64_t> TakeStarValue(std::u16string_view& problem) {
        const FormatArgument* argument = TakeArgument();
        if (argument == nullptr) {
            if (problem.empty()) {
                problem = kMissing;
            }
            return std::nullopt;
        }
        const auto bits = IntegerBitsOf(*argument);
        if (!bits) {
            if (problem.empty()) {
                problem = kBadType;
            }
            return std::nullopt;
        }
        return argument->GetKind() == FormatArgument::Kind::UnsignedInteger
                   ? static_cast<int64_t>(std::min<uint64_t>(*bits, kMaxFormatWidth))
                   : static_cast<int64_t>(*bits);
    }

    void ReadFlags(Conversion& conversion) {
        struct Flag {
            char16_t character;
            bool Conversion::*member;
        };
        static constexpr Flag kFlags[] = {{u'-', &Conversion::m_leftAlign},
                                          {u'0', &Conversion::m_zeroPad},
                                          {u'+', &Conversion::m_plusSign},
                                          {u' ', &Conversion::m_spaceSign},
                                          {u'#', &Conversion::m_alternate}};
        for (; !AtEnd(); ++m_position) {
            const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags),
                                           [&](const Flag& f) { return f.character == Peek(); });
            if (flag == std::end(kFlags)) {
                return;
            }
            conversion.*(flag->member) = true;
        }
    }

    void ReadWidthAndPrecision(Conversion& conversion, std::u16string_view& problem) {
        if (Accept(u"*")) {
            if (const auto width = TakeStarValue(problem)) {
                // A negative width from '*' means left alignment, as in C.
                if (*width < 0) {
                    conversion.m_leftAlign = true;
                }
                conversion.m_width = std::abs(ClampWidth(*width));
            }
        } else {
            conversion.m_width = ReadNumber();
        }
        if (Accept(u".")) {
            if (Accept(u"*")) {
                // A negative precision from '*' counts as none, as in C.
                if (const auto precision = TakeStarValue(problem); precision && *precision >= 0) {
                    conversion.m_precision = ClampWidth(*precision);
                }
            } else {
                conversion.m_precision = ReadNumber();
            }
        }
    }

    // Windows sizes: long is 32-bit, I is pointer-sized (64-bit here).
    void ReadLengthModifier(Conversion& conversion) {
        if (Accept(u"hh")) {
            conversion.m_integerBits = 8;
        } else if (Accept(u"h")) {
            conversion.m_integerBits = 16;
        } else if (Accept(u"ll") || Accept(u"I64")) {
            conversion.m_integerBits = 64;
        } else if (Accept(u"I32")) {
            conversion.m_integerBits = 32;
        } else if (Accept(u"I") || Accept(u"j") || Accept(u"z") || Accept(u"t")) {
            conversion.m_integerBits = 64;
        } else if (Accept(u"l") || Accept(u"L") || Accept(u"w")) {
            conversion.m_integerBits = 32;
        }
    }

    void FormatConversion() {
        if (Accept(u"%")) {
            m_out.push_back(u'%');
            return;
        }
        Conversion conversion;
        std::u16string_view problem;
        ReadFlags(conversion);
        ReadWidthAndPrecision(conversion, problem);
        ReadLengthModifier(conversion);
        if (AtEnd()) {
            m_out.append(kIncomplete);
            return;
        }
        conversion.m_letter = Peek();
        ++m_position;

        if (conversion.m_letter == u'%') {
            m_out.push_back(u'%');
            return;
        }
        if (kConversionLetters.find(conversion.m_letter) == std::u16string_view::npos) {
            AppendMarker(conversion.m_letter, kUnknown);
            return;
        }

        const FormatArgument* argument = nullptr;
        if (problem != kMissing) {
            argument = TakeArgument();
        }
        if (argument == nullptr) {
            AppendMarker(conversion.m_letter, kMissing);
            return;
        }
        if (!problem.empty() || !FormatArgumentAs(conversion, *argument)) {
            AppendMarker(conversion.m_letter, kBadType);
        }
    }

    // False when the argument is of the wrong kind for the conversion.
    bool FormatArgumentAs(const Conversion& conversion, const FormatArgument& argument) {
        switch (conversion.m_letter) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            return FormatInteger(conversion, argument);
        case u'c':
        case u'C':
            return FormatCharacter(conversion, argument);
        case u's':
        case u'S':
            return FormatString(conversion, argument);
        case u'p':
            return FormatPointer(conversion, argument);
        default:
            return FormatFloatingPoint(conversion, argument);
        }
    }

    bool FormatInteger(const Conversion& conversion, const FormatArgument& argument) {
        const auto bits = IntegerBitsOf(argument);
        if (!bits) {
            return false;
        }
        const bool isSigned = conversion.m_letter == u'd' || conversion.m_letter == u'i';
        const int shift = 64 - conversion.m_integerBits;
        uint64_t magnitude = 0;
        bool negative = false;
        if (isSigned) {
            // Sign-extend the low bits: the value converted to the signed type of that width.
            const int64_t value = static_cast<int64_t>(*bits << shift) >> shift;
            negative = value < 0;
            magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        } else {
            magnitude = (*bits << shift) >> shift;
        }

        const unsigned base = conversion.m_letter == u'o'                 ? 8
                              : (isSigned || conversion.m_letter == u'u') ? 10
                                                                          : 16;
        std::u16string body;
        if (!(conversion.m_precision == 0 && magnitude == 0)) {
            body = Digits(magnitude, base, conversion.m_letter == u'X');
        }
        if (conversion.m_precision && static_cast<size_t>(*conversion.m_precision) > body.size()) {
            body.insert(0, static_cast<size_t>(*conversion.m_precision) - body.size(), u'0');
        }
        if (conversion.m_alternate && base == 8 && (body.empty() || body[0] != u'0')) {
            body.insert(0, 1, u'0');
        }

        std::u16string prefix;
        if (isSigned) {
            if (negative) {
                prefix = u"-";
            } else if (conversion.m_plusSign) {
                prefix = u"+";
            } else if (conversion.m_spaceSign) {
                prefix = u" ";
            }
        } else if (conversion.m_alternate && base == 16 && magnitude != 0) {
            prefix = conversion.m_letter == u'X' ? u"0X" : u"0x";
        }
        // A precision gives the digit count, so '0' no longer pads (C rule).
        AppendPadded(m_out, conversion, prefix, body, !conversion.m_precision.has_value());
        return true;
    }

    bool FormatCharacter(const Conversion& conversion, const FormatArgument& argument) {
        const auto bits = IntegerBitsOf(argument);
        if (!bits) {
            return false;
        }
        std::u16string body;
        if (argument.GetKind() != FormatArgument::Kind::Character) {
            // An integer is a UTF-16 code unit, as wchar_t is on Windows.
            body.push_back(static_cast<char16_t>(*bits & 0xFFFF));
        } else if (*bits >= 0x10000) {
            const uint64_t offset = *bits - 0x10000;
            body.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            body.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            body.push_back(static_cast<char16_t>(*bits));
        }
        AppendPadded(m_out, conversion, {}, body);
        return true;
    }

    bool FormatString(const Conversion& conversion, const FormatArgument& argument) {
        std::u16string converted;
        std::u16string_view text;
        switch (argument.GetKind()) {
        case FormatArgument::Kind::Text16:
            text = argument.GetText16();
            break;
        case FormatArgument::Kind::Text8:
            converted = Utf8ToUtf16(argument.GetText8());
            text = converted;
            break;
        case FormatArgument::Kind::NullText:
            text = kNullText;
            break;
        default:
            return false;
        }
        if (conversion.m_precision && static_cast<size_t>(*conversion.m_precision) < text.size()) {
            size_t length = static_cast<size_t>(*conversion.m_precision);
            if (length > 0 && IsHighSurrogate(text[length - 1])) {
                --length;
            }
            text = text.substr(0, length);
        }
        AppendPadded(m_out, conversion, {}, text);
        return true;
    }

    bool FormatPointer(const Conversion& conversion, const FormatArgument& argument) {
        uint64_t address = 0;
        switch (argument.GetKind()) {
        case FormatArgument::Kind::Pointer:
        case FormatArgument::Kind::SignedInteger:
        case FormatArgument::Kind::UnsignedInteger:
            address = argument.GetIntegerBits();
            break;
        case FormatArgument::Kind::NullText:
            break;
        default:
            return false;
        }
        std::u16string body = Digits(address, 16, true);
        body.insert(0, 16 - body.size(), u'0');
        AppendPadded(m_out, conversion, {}, body, false);
        return true;
    }

    bool FormatFloatingPoint(const Conversion& conversion, const FormatArgument& argument) {
        const auto value = FloatingPointOf(argument);
        if (!value) {
            return false;
        }
        const char16_t letter = conversion.m_letter;
        const bool upperCase = letter == u'F' || letter == u'E' || letter == u'G';
        std::u16string prefix;
        if (std::signbit(*value)) {
            prefix = u"-";
        } else if (conversion.m_plusSign) {
            prefix = u"+";
        } else if (conversion.m_spaceSign) {
            prefix = u" ";
        }

        std::string body;
        bool zeroPadAllowed = true;
        if (std::isnan(*value)) {
            body = "nan";
            zeroPadAllowed = false;
        } else if (std::isinf(*value)) {
            body = "inf";
            zeroPadAllowed = false;
        } else {
            const char lowerLetter = static_cast<char>(upperCase ? letter - u'A' + u'a' : letter);
            const int precision = conversion.m_precision.value_or(6);
            if (!FloatingPointBody(body, std::fabs(*value), lowerLetter, precision,
                                   conversion.m_alternate)) {
                return false;
            }
        }
        if (upperCase) {
            for (char& c : body) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                }
            }
        }
        AppendPadded(m_out, conversion, prefix, WidenAscii(body), zeroPadAllowed);
        return true;
    }

    std::u16string_view m_format;
    std::span<const FormatArgument> m_arguments;
    size_t m_position = 0;
    size_t m_nextArgument = 0;
    std::u16string m_out;
};

} // namespace

std::u16string FormatTextFromArguments(std::u16string_view format,
                                       std::span<const FormatArgument> arguments) {
    return TextFormatter(format, arguments).Run();
}

std::string FormatText8FromArguments(std::string_view format,
                                     std::span<const FormatArgument> arguments) {
    return Utf16ToUtf8(FormatTextFromArguments(Utf8ToUtf16(format), arguments));
}
