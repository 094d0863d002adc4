#include "jobs/recovery/zip/zip_writer.h"

#include "jobs/recovery/zip/zip_entry_header.h"
#include "jobs/recovery/zip/zip_exception.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace {

// zlib counts in uInt; larger writes go in pieces of this size.
constexpr size_t kMaxZlibChunk = size_t{1} << 30;
constexpr int kWindowBits = -15;
constexpr int kMemoryLevel = 8;

} // namespace

CZipWriter::CZipWriter() = default;

CZipWriter::~CZipWriter() {
    Abandon();
}

void CZipWriter::Create(int fd, std::u16string path) {
    Abandon();
    m_output.Open(fd, std::move(path));
    try {
        m_output.Truncate(0);
    } catch (...) {
        Abandon();
        throw;
    }
    m_directory.Clear();
    m_dataEnd = 0;
}

void CZipWriter::OpenForAppend(int fd, std::u16string path) {
    Abandon();
    m_output.Open(fd, std::move(path));
    try {
        m_directory.Read(m_output);
    } catch (...) {
        Abandon();
        throw;
    }
    m_dataEnd = m_directory.Offset();
}

bool CZipWriter::AddEntry(std::u16string_view path, uint64_t declaredSize,
                          uint32_t externalAttributes) {
    if (!IsOpen() || m_entryState != 0)
        return false;
    const bool folder = (externalAttributes & CZipEntryHeader::kFolderAttribute) != 0;
    std::string name = CZipEntryHeader::EntryName(path, folder);
    if (name.empty())
        return false;

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        local = std::tm{};
        local.tm_year = 80;
        local.tm_mday = 1;
    }
    CZipEntryHeader header;
    header.Prepare(std::move(name), externalAttributes, declaredSize, m_dataEnd,
                   CZipEntryHeader::DosTime(local), CZipEntryHeader::DosDate(local));
    m_output.Seek(m_dataEnd);

    // From here on a failure leaves an open entry for AbandonEntry to cut.
    m_directory.Add(header);
    m_entryState = 1;
    m_method = header.Method();
    m_zip64 = header.HasLocalZip64();
    m_crc = 0;
    m_compressedSize = 0;
    m_uncompressedSize = 0;
    const std::vector<uint8_t> localHeader = m_directory.Current()->LocalHeader();
    m_output.Write(localHeader.data(), localHeader.size());

    m_compressionBuffer = std::make_unique<uint8_t[]>(kCompressionBufferSize);
    m_compressionPending = 0;
    if (m_method == CZipEntryHeader::kMethodDeflated) {
        m_stream = z_stream{};
        const int result = deflateInit2(&m_stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBits,
                                        kMemoryLevel, Z_DEFAULT_STRATEGY);
        if (result != Z_OK)
            ThrowZlib(result);
        m_streamActive = true;
        m_stream.next_out = m_compressionBuffer.get();
        m_stream.avail_out = static_cast<uInt>(kCompressionBufferSize);
    }
    return true;
}

bool CZipWriter::Write(const void* data, size_t length) {
    if (m_entryState != 1 || (data == nullptr && length > 0))
        return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const size_t chunk = std::min(length, kMaxZlibChunk);
        m_uncompressedSize += chunk;
        CheckSizes();
        m_crc = static_cast<uint32_t>(crc32(m_crc, bytes, static_cast<uInt>(chunk)));
        if (m_method == CZipEntryHeader::kMethodDeflated) {
            m_stream.next_in = const_cast<Bytef*>(bytes);
            m_stream.avail_in = static_cast<uInt>(chunk);
            while (m_stream.avail_in > 0) {
                if (m_stream.avail_out == 0)
                    FlushCompressionBuffer();
                const int result = deflate(&m_stream, Z_NO_FLUSH);
                if (result != Z_OK && result != Z_NEED_DICT)
                    ThrowZlib(result);
            }
        } else {
            size_t copied = 0;
            while (copied < chunk) {
                if (m_compressionPending == kCompressionBufferSize)
                    FlushCompressionBuffer();
                const size_t take =
                    std::min(chunk - copied, kCompressionBufferSize - m_compressionPending);
                std::memcpy(m_compressionBuffer.get() + m_compressionPending, bytes + copied, take);
                m_compressionPending += static_cast<uint32_t>(take);
                copied += take;
            }
        }
        bytes += chunk;
        length -= chunk;
    }
    return true;
}

bool CZipWriter::CloseEntry() {
    if (m_entryState != 1)
        return false;
    if (m_method == CZipEntryHeader::kMethodDeflated) {
        m_stream.next_in = nullptr;
        m_stream.avail_in = 0;
        for (;;) {
            if (m_stream.avail_out == 0)
                FlushCompressionBuffer();
            const int result = deflate(&m_stream, Z_FINISH);
            if (result == Z_STREAM_END)
                break;
            if (result != Z_OK)
                ThrowZlib(result);
        }
    }
    FlushCompressionBuffer();
    if (m_streamActive) {
        m_streamActive = false;
        const int result = deflateEnd(&m_stream);
        if (result != Z_OK)
            ThrowZlib(result);
    }
    CheckSizes();

    CZipEntryHeader& header = *m_directory.Current();
    header.SetResult(m_crc, m_compressedSize, m_uncompressedSize);
    const std::vector<uint8_t> localHeader = header.LocalHeader();
    m_output.WriteAt(header.LocalHeaderOffset(), localHeader.data(), localHeader.size());
    m_output.Flush();
    m_dataEnd = m_output.Position();
    m_entryState = 0;
    m_compressionBuffer.reset();
    m_compressionPending = 0;
    return true;
}

bool CZipWriter::AbandonEntry() noexcept {
    if (m_entryState != 1)
        return true;
    EndStream();
    m_compressionBuffer.reset();
    m_compressionPending = 0;
    m_entryState = 0;
    const CZipEntryHeader* header = m_directory.Current();
    const uint64_t offset = header != nullptr ? header->LocalHeaderOffset() : m_dataEnd;
    m_directory.RemoveCurrent();
    m_dataEnd = offset;
    return m_output.DiscardFrom(offset);
}

void CZipWriter::Close() {
    if (!IsOpen())
        return;
    try {
        if (m_entryState == 1)
            CloseEntry();
        m_output.Seek(m_dataEnd);
        m_directory.Write(m_output);
        m_output.Flush();
        // An old directory or a cut entry may have left bytes past the end record.
        m_output.Truncate(m_output.Position());
        m_output.Close();
    } catch (...) {
        Abandon();
        throw;
    }
    m_directory.Clear();
    m_dataEnd = 0;
}

void CZipWriter::Abandon() noexcept {
    EndStream();
    m_compressionBuffer.reset();
    m_compressionPending = 0;
    m_entryState = 0;
    m_output.Abandon();
    m_directory.Clear();
    m_dataEnd = 0;
}

void CZipWriter::FlushCompressionBuffer() {
    const uint32_t waiting = m_method == CZipEntryHeader::kMethodDeflated
                                 ? kCompressionBufferSize - m_stream.avail_out
                                 : m_compressionPending;
    if (waiting > 0) {
        m_output.Write(m_compressionBuffer.get(), waiting);
        m_compressedSize += waiting;
    }
    m_compressionPending = 0;
    if (m_method == CZipEntryHeader::kMethodDeflated) {
        m_stream.next_out = m_compressionBuffer.get();
        m_stream.avail_out = static_cast<uInt>(kCompressionBufferSize);
    }
    CheckSizes();
}

// An entry without Zip64 fields cannot record 4 GiB or more: the data outgrew its declared size.
void CZipWriter::CheckSizes() const {
    if (m_zip64)
        return;
    const uint64_t stored =
        m_method == CZipEntryHeader::kMethodDeflated ? m_compressedSize : m_uncompressedSize;
    if (m_uncompressedSize >= CZipEntryHeader::kZip64Limit ||
        stored >= CZipEntryHeader::kZip64Limit)
        throw CZipException(CZipException::kEntryTooLarge, m_output.Path(),
                            ProgramString8(kEntryTooLargeId));
}

void CZipWriter::EndStream() noexcept {
    if (m_streamActive)
        deflateEnd(&m_stream);
    m_streamActive = false;
}

void CZipWriter::ThrowZlib(int result) const {
    const char* message = zError(result);
    const std::string reason =
        message != nullptr ? std::string(message) : ProgramString8(kUnknownErrorId);
    throw CZipException(result, m_output.Path(), ProgramString8(kCompressionFailedId, reason));
}
