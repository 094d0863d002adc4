#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// printf-style formatting into UTF-16 (FormatText) and UTF-8 (FormatText8), in place of the
// Windows C runtime's swprintf and sprintf. The program's texts (and their translations) were
// written for that runtime, so its rules are kept:
//
//  - %d %i %u %x %X %o, with no size or with h (16-bit), hh (8-bit), l or I32 (32-bit: long is
//    32-bit on Windows), ll, I64, I, j, z, t (64-bit). The argument's value is converted to that
//    width as C converts integers: %d of 0x100000005 prints 5, %u of -1 prints 4294967295.
//  - %c %C: a char16_t, char32_t, an ASCII char, or an integer taken as a UTF-16 code unit (its
//    low 16 bits).
//  - %s %S: std::u16string, std::u16string_view, char16_t pointers and arrays, and their UTF-8
//    twins (std::string, std::string_view, char pointers and arrays, char8_t forms); the size
//    prefixes h, l, w are accepted and ignored, the argument's type decides. A null pointer
//    prints "(null)". An array is read up to its first NUL and never past its end.
//  - %f %F %e %E %g %G for floating-point values (integers are converted), always with '.' as the
//    decimal point whatever the C locale; %p prints 16 upper-case hex digits.
//  - Flags '-', '0', '+', ' ', '#'; width and precision, '*' taking them from an integer
//    argument; "%%". As on Windows, '0' pads %s and %c with zeros too.
//  - Width, precision and the length of %s are counted in UTF-16 code units; width and
//    precision above kMaxFormatWidth count as kMaxFormatWidth. A precision never splits a
//    surrogate pair.
//
// Mistakes never crash and never read past the arguments; they show in the output:
//  - a conversion with no argument left:                "%!d(MISSING)"
//  - an argument of the wrong kind (text for %d, a number for %s, a floating-point value for
//    an integer conversion, text for a '*' width or precision): "%!d(BADTYPE)"; the argument
//    is consumed
//  - an unknown conversion letter, including %n:       "%!q(UNKNOWN)", consuming no argument
//  - a format that ends inside a conversion:           "%!(INCOMPLETE)"
//  - arguments left over at the end (once):             "%!(EXTRA)"
// where d or q is the conversion letter as written. Argument types that cannot be formatted at
// all (wchar_t text, class types) are refused at compile time.
//
// FormatText8 formats through the same engine: the format is decoded from UTF-8 and the result
// encoded back, so ill-formed UTF-8 in the format or in arguments shows as U+FFFD.

inline constexpr int kMaxFormatWidth = 1024;

// One captured argument of FormatText: a tagged value. Text arguments are views of the caller's
// data and live only for the call that captured them.
class FormatArgument {
public:
    enum class Kind {
        SignedInteger,
        UnsignedInteger,
        Character,
        FloatingPoint,
        Pointer,
        Text16,
        Text8,
        NullText,
    };

    static FormatArgument FromSigned(int64_t value) {
        FormatArgument argument(Kind::SignedInteger);
        argument.m_integer = static_cast<uint64_t>(value);
        return argument;
    }
    static FormatArgument FromUnsigned(uint64_t value) {
        FormatArgument argument(Kind::UnsignedInteger);
        argument.m_integer = value;
        return argument;
    }
    // A code point, or a lone UTF-16 code unit that is kept as it is.
    static FormatArgument FromCharacter(char32_t value) {
        FormatArgument argument(Kind::Character);
        argument.m_integer = value;
        return argument;
    }
    static FormatArgument FromFloatingPoint(double value) {
        FormatArgument argument(Kind::FloatingPoint);
        argument.m_floatingPoint = value;
        return argument;
    }
    static FormatArgument FromPointer(const void* value) {
        FormatArgument argument(Kind::Pointer);
        argument.m_integer = reinterpret_cast<uintptr_t>(value);
        return argument;
    }
    static FormatArgument FromText(std::u16string_view text) {
        FormatArgument argument(Kind::Text16);
        argument.m_text16 = text;
        return argument;
    }
    static FormatArgument FromText(std::string_view utf8) {
        FormatArgument argument(Kind::Text8);
        argument.m_text8 = utf8;
        return argument;
    }
    static FormatArgument FromNullText() { return FormatArgument(Kind::NullText); }

    Kind GetKind() const { return m_kind; }
    // Integers and characters as 64-bit two's complement; the address for a pointer.
    uint64_t GetIntegerBits() const { return m_integer; }
    double GetFloatingPoint() const { return m_floatingPoint; }
    std::u16string_view GetText16() const { return m_text16; }
    std::string_view GetText8() const { return m_text8; }

private:
    explicit FormatArgument(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    uint64_t m_integer = 0;
    double m_floatingPoint = 0.0;
    std::u16string_view m_text16;
    std::string_view m_text8;
};

template <typename T> inline constexpr bool kUnsupportedFormatArgument = false;

template <typename T> FormatArgument MakeFormatArgument(const T& value) {
    using Type = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<Type, bool>) {
        return FormatArgument::FromUnsigned(value ? 1 : 0);
    } else if constexpr (std::is_same_v<Type, char> || std::is_same_v<Type, char8_t>) {
        // A UTF-8 code unit is a character only when it is ASCII.
        const auto unit = static_cast<unsigned char>(value);
        return FormatArgument::FromCharacter(unit < 0x80 ? unit : 0xFFFD);
    } else if constexpr (std::is_same_v<Type, char16_t>) {
        return FormatArgument::FromCharacter(value);
    } else if constexpr (std::is_same_v<Type, char32_t>) {
        const bool valid = value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        return FormatArgument::FromCharacter(valid ? value : 0xFFFD);
    } else if constexpr (std::is_same_v<Type, wchar_t>) {
        static_assert(kUnsupportedFormatArgument<T>, "wchar_t is 32-bit on Linux: use char16_t");
    } else if constexpr (std::is_integral_v<Type> && std::is_signed_v<Type>) {
        return FormatArgument::FromSigned(value);
    } else if constexpr (std::is_integral_v<Type>) {
        return FormatArgument::FromUnsigned(value);
    } else if constexpr (std::is_enum_v<Type>) {
        return MakeFormatArgument(static_cast<std::underlying_type_t<Type>>(value));
    } else if constexpr (std::is_floating_point_v<Type>) {
        return FormatArgument::FromFloatingPoint(static_cast<double>(value));
    } else if constexpr (std::is_same_v<Type, std::nullptr_t>) {
        return FormatArgument::FromNullText();
    } else if constexpr (std::is_array_v<Type>) {
        using Element = std::remove_cv_t<std::remove_extent_t<Type>>;
        constexpr size_t kExtent = std::extent_v<Type>;
        if constexpr (std::is_same_v<Element, char16_t>) {
            const std::u16string_view whole(value, kExtent);
            return FormatArgument::FromText(whole.substr(0, whole.find(u'\0')));
        } else if constexpr (std::is_same_v<Element, char> || std::is_same_v<Element, char8_t>) {
            const std::string_view whole(reinterpret_cast<const char*>(value), kExtent);
            return FormatArgument::FromText(whole.substr(0, whole.find('\0')));
        } else {
            static_assert(kUnsupportedFormatArgument<T>, "FormatText: unsupported array type");
        }
    } else if constexpr (std::is_pointer_v<Type>) {
        using Pointee = std::remove_cv_t<std::remove_pointer_t<Type>>;
        if constexpr (std::is_same_v<Pointee, char16_t>) {
            return value ? FormatArgument::FromText(std::u16string_view(value))
                         : FormatArgument::FromNullText();
        } else if constexpr (std::is_same_v<Pointee, char> || std::is_same_v<Pointee, char8_t>) {
            return value ? FormatArgument::FromText(
                               std::string_view(reinterpret_cast<const char*>(value)))
                         : FormatArgument::FromNullText();
        } else if constexpr (std::is_void_v<Pointee>) {
            return FormatArgument::FromPointer(value);
        } else {
            static_assert(kUnsupportedFormatArgument<T>, "FormatText: unsupported pointer type");
        }
    } else if constexpr (std::is_convertible_v<const Type&, std::u16string_view>) {
        return FormatArgument::FromText(std::u16string_view(value));
    } else if constexpr (std::is_convertible_v<const Type&, std::string_view>) {
        return FormatArgument::FromText(std::string_view(value));
    } else if constexpr (std::is_convertible_v<const Type&, std::u8string_view>) {
        const std::u8string_view text(value);
        return FormatArgument::FromText(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    } else {
        static_assert(kUnsupportedFormatArgument<T>, "FormatText: unsupported argument type");
    }
}

// The engine behind FormatText and FormatText8, for callers that gather arguments at run time.
std::u16string FormatTextFromArguments(std::u16string_view format,
                                       std::span<const FormatArgument> arguments);
std::string FormatText8FromArguments(std::string_view format,
                                     std::span<const FormatArgument> arguments);

template <typename... Args>
std::u16string FormatText(std::u16string_view format, const Args&... args) {
    const std::array<FormatArgument, sizeof...(Args)> captured{MakeFormatArgument(args)...};
    return FormatTextFromArguments(format, captured);
}

template <typename... Args> std::string FormatText8(std::string_view format, const Args&... args) {
    const std::array<FormatArgument, sizeof...(Args)> captured{MakeFormatArgument(args)...};
    return FormatText8FromArguments(format, captured);
}
