// The add/edit dialog's rules and the list helpers, without widgets.

#include "app/dialogs/signatures/signature_input.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Error = SignatureInputError;

std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}

TEST(SignatureInputTest, HeaderTexts) {
    struct Case {
        std::u16string text;
        Error error;
        std::vector<uint8_t> bytes;
    };
    const std::vector<uint8_t> eight = {0x01, 0xff, 0x0c, 0xd1, 0xf4, 0x00, 0x03, 0x05};
    const Case cases[] = {
        {u"4d 5a", Error::None, {0x4d, 0x5a}},
        {u"4d 5a ", Error::None, {0x4d, 0x5a}},
        {u"4D5A", Error::HeaderFormat, {}},
        {u"4d 5", Error::HeaderLength, {}},
        {u"4", Error::HeaderLength, {}},
        {u"", Error::HeaderLength, {}},
        {u"fF", Error::None, {0xff}},
        {u"0g", Error::HeaderFormat, {}},
        {u"01 ff 0c d1 f4 00 03 05", Error::None, eight},
        {u"01 ff 0c d1 f4 00 03 05 ", Error::None, eight},
        {u"01 ff 0c d1 f4 00 03 05 0", Error::HeaderLength, {}},
        {u"01 ff 0c d1 f4 00 03 05 06", Error::HeaderLength, {}},
        {u"01-ff", Error::HeaderFormat, {}},
        {u"01  ff", Error::HeaderFormat, {}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(Narrow(each.text));
        HeaderBytes header;
        header.length = 99;
        EXPECT_EQ(ParseHeaderText(each.text, header), each.error);
        if (each.error != Error::None) {
            EXPECT_EQ(header.length, 99) << "a refused text leaves the header alone";
            continue;
        }
        ASSERT_EQ(header.length, each.bytes.size());
        const std::vector<uint8_t> got(header.bytes.begin(), header.bytes.begin() + header.length);
        EXPECT_EQ(got, each.bytes);
    }
}

TEST(SignatureInputTest, OffsetsKeepTheHeaderInsideTheSector) {
    struct Case {
        std::u16string text;
        uint8_t length;
        bool accepted;
    };
    const Case cases[] = {
        {u"0", 8, true},    {u"511", 1, true},  {u"511", 2, false}, {u"504", 8, true},
        {u"505", 8, false}, {u"512", 1, false}, {u"", 1, false},    {u"0511", 1, false},
        {u"-1", 1, false},  {u"1a", 1, false},  {u" 1", 1, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(Narrow(each.text) + " length " + std::to_string(each.length));
        uint32_t offset = 7777;
        EXPECT_EQ(ParseOffsetText(each.text, each.length, offset) == Error::None, each.accepted);
        const uint32_t expected = each.accepted ? std::stoul(Narrow(each.text)) : 7777u;
        EXPECT_EQ(offset, expected);
    }
}

TEST(SignatureInputTest, SizesInBytesRefuseWhatOverflows) {
    struct Case {
        std::u16string text;
        bool megabytes;
        std::optional<uint32_t> bytes;
    };
    const Case cases[] = {
        {u"1", false, 1024},
        {u"2", true, 2 * 1048576},
        {u"4194303", false, 4194303u * 1024},
        {u"4194304", false, std::nullopt}, // 4 GiB does not fit in 32 bits
        {u"4095", true, 4095u * 1048576},
        {u"4096", true, std::nullopt},
        {u"4294967295", false, std::nullopt},
        {u"4294967296", false, std::nullopt}, // not even the value fits
        {u"99999999999999999999", false, std::nullopt},
        {u"0", false, std::nullopt},
        {u"", true, std::nullopt},
        {u"12k", false, std::nullopt},
        {u"+5", false, std::nullopt},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(Narrow(each.text) + (each.megabytes ? " MB" : " KB"));
        EXPECT_EQ(ParseSizeBytes(each.text, each.megabytes), each.bytes);
    }
}

TEST(SignatureInputTest, NamesAndExtensions) {
    const std::u16string longest(256, u'n');
    struct Case {
        std::u16string text;
        Error name;
        Error extension;
    };
    const Case cases[] = {
        {u"Pictures", Error::None, Error::None},
        {u" a ", Error::None, Error::None},
        {u"   ", Error::NameBlank, Error::ExtensionBlank},
        {longest, Error::None, Error::None},
        {longest + u"n", Error::NameLength, Error::ExtensionLength},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.text.size());
        EXPECT_EQ(CheckSignatureName(each.text, false), each.name);
        EXPECT_EQ(CheckSignatureName(each.text, true), each.extension);
    }
}

SignatureInput ValidInput() {
    SignatureInput input;
    input.name = u"Notes";
    input.extension = u"nte";
    input.header = u"4e 54";
    input.offset = u"3";
    input.size = u"2";
    input.megabytes = true;
    input.group = 8;
    return input;
}

// ValidInput with some of its texts changed.
SignatureInput
With(std::initializer_list<std::pair<std::u16string SignatureInput::*, const char16_t*>> changes) {
    SignatureInput input = ValidInput();
    for (const auto& [field, text] : changes)
        input.*field = text;
    return input;
}

TEST(SignatureInputTest, ChecksRunInTheDialogsOrder) {
    using In = SignatureInput;
    struct Case {
        SignatureInput input;
        bool headerEditable;
        Error error;
    };
    const Case cases[] = {
        {ValidInput(), true, Error::None},
        {With({{&In::header, u"4e54"}, {&In::size, u"x"}}), true, Error::HeaderFormat},
        {With({{&In::offset, u"600"}, {&In::name, u" "}}), true, Error::Offset},
        // A delivered record's header is masked and not checked.
        {With({{&In::header, u"XXXXXXXXXXXX"}}), false, Error::None},
        {With({{&In::size, u"0"}, {&In::name, u" "}}), false, Error::Size},
        {With({{&In::name, u"  "}, {&In::extension, u" "}}), true, Error::NameBlank},
        {With({{&In::extension, u" "}}), true, Error::ExtensionBlank},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const CheckedSignature checked =
            CheckSignatureInput(cases[i].input, cases[i].headerEditable);
        EXPECT_EQ(checked.error, cases[i].error);
        if (cases[i].error == Error::None) {
            EXPECT_EQ(checked.sizeBytes, 2u * 1048576);
        }
    }
}

FileSignature DeliveredRecord() {
    FileSignature record;
    record.softwareName = u"Bitmap";
    record.extension = u"BMP";
    record.matchLength = 2;
    record.header = {0x42, 0x4d};
    record.companyDefined = true;
    record.maxFileSize = 10 * 1048576;
    record.sizeUnit = FileSignature::kUnitMegabytes;
    record.fileGroup = 10;
    record.finderKind = FileSignature::kFinderBmp;
    return record;
}

TEST(SignatureInputTest, ApplyingChangesOnlyTheSizeOfADeliveredRecord) {
    const SignatureInput input = ValidInput();
    FileSignature delivered = DeliveredRecord();
    const CheckedSignature sizeOnly = CheckSignatureInput(input, false);
    ASSERT_EQ(sizeOnly.error, Error::None);
    ApplySignatureInput(delivered, input, sizeOnly);
    FileSignature expected = DeliveredRecord();
    expected.maxFileSize = 2 * 1048576;
    EXPECT_EQ(delivered, expected);

    FileSignature own = DeliveredRecord();
    own.companyDefined = false;
    own.header = {1, 2, 3, 4, 5, 6, 7, 8};
    own.matchLength = 8;
    const CheckedSignature all = CheckSignatureInput(input, true);
    ApplySignatureInput(own, input, all);
    EXPECT_EQ(own.softwareName, u"Notes");
    EXPECT_EQ(own.extension, u"nte");
    EXPECT_EQ(own.matchLength, 2);
    EXPECT_EQ(own.header, (std::array<uint8_t, 8>{0x4e, 0x54}));
    EXPECT_EQ(own.matchOffset, 3u);
    EXPECT_EQ(own.fileGroup, 8);
    EXPECT_EQ(own.maxFileSize, 2u * 1048576);
    EXPECT_EQ(own.sizeUnit, FileSignature::kUnitMegabytes);
}

TEST(SignatureInputTest, SizeFieldsNeverCutTheSize) {
    struct Case {
        uint32_t bytes;
        uint8_t unit;
        SizeField field;
    };
    const Case cases[] = {
        {10 * 1048576, FileSignature::kUnitMegabytes, {u"10", true}},
        {10 * 1048576, FileSignature::kUnitKilobytes, {u"10240", false}},
        // Stored in megabytes yet not a whole number of them: shown in kilobytes.
        {1048576 + 1024, FileSignature::kUnitMegabytes, {u"1025", false}},
        {0, FileSignature::kUnitMegabytes, {u"0", false}},
    };
    for (const Case& each : cases) {
        FileSignature record;
        record.maxFileSize = each.bytes;
        record.sizeUnit = each.unit;
        EXPECT_EQ(SizeFieldOf(record), each.field) << each.bytes;
    }
}

TEST(SignatureInputTest, UnitSpinConvertsTheSize) {
    struct Case {
        std::u16string text;
        bool toMegabytes;
        std::u16string result;
    };
    const Case cases[] = {
        {u"2", false, u"2048"},
        {u"2048", true, u"2"},
        {u"4194304", false, u"4294967296"}, // shown, and refused by OK
        {u"abc", true, u"abc"},
        {u"", false, u""},
    };
    for (const Case& each : cases)
        EXPECT_EQ(SwitchSizeUnit(each.text, each.toMegabytes), each.result) << Narrow(each.text);
}

TEST(SignatureInputTest, TheSizeColumnStoresKilobytes) {
    FileSignature record;
    record.maxFileSize = 5 * 1048576;
    record.sizeUnit = FileSignature::kUnitMegabytes;
    EXPECT_EQ(SizeColumnText(record), u"5120");
    for (std::u16string_view refused : {u"0", u"", u"1.5", u"4194304"}) {
        EXPECT_FALSE(SetSizeFromColumn(record, refused)) << Narrow(refused);
        EXPECT_EQ(record.maxFileSize, 5u * 1048576);
    }
    ASSERT_TRUE(SetSizeFromColumn(record, u"1500"));
    EXPECT_EQ(record.maxFileSize, 1500u * 1024);
    EXPECT_EQ(record.sizeUnit, FileSignature::kUnitKilobytes);
    // What the add/edit dialog shows next holds the same size.
    EXPECT_EQ(SizeFieldOf(record), (SizeField{u"1500", false}));
}

} // namespace
