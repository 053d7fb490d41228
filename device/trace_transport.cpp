#include "device/trace_transport.h"

#include <algorithm>
#include <cstdio>

#include "device/command_codes.h"

namespace raid {

namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

std::string HexNumber(std::uint32_t value) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

const char* Result(bool ok) {
    return ok ? "ok" : "fail";
}

}  // namespace

TraceTransport::TraceTransport(std::unique_ptr<Transport> inner, std::filesystem::path file)
    : inner_(std::move(inner)), file_(std::move(file)) {}

DeviceHandle TraceTransport::OpenDevice(std::uint8_t code) {
    const DeviceHandle handle = inner_->OpenDevice(code);
    const bool ok = handle != kInvalidHandle;
    {
        const std::lock_guard lock(mutex_);
        if (ok) {
            codes_[handle] = code;
        }
    }
    Write("OPEN disk=" + DeviceCodeText(code) + " " + Result(ok));
    return handle;
}

bool TraceTransport::ReadSectors(DeviceHandle handle, std::uint32_t lba,
                                 std::span<std::uint8_t> buffer, std::uint32_t count) {
    const bool ok = inner_->ReadSectors(handle, lba, buffer, count);
    std::string line =
        "READ10 disk=" + DiskOf(handle) + " lba=0x" + HexNumber(lba) + " " + Result(ok);
    // Only the reply sector carries the controller's answers; every other
    // read is a command byte whose content nobody looks at.
    if (ok && lba == kReplySector && buffer.size() >= kSectorSize) {
        line += " data=" + Hex(buffer.first(kSectorSize));
    }
    Write(line);
    return ok;
}

bool TraceTransport::InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) {
    const bool ok = inner_->InquiryDevice(handle, buffer);
    Write("INQUIRY disk=" + DiskOf(handle) + " " + Result(ok) +
          " data=" + Hex(buffer.first(std::min(buffer.size(), kInquiryLength))));
    return ok;
}

void TraceTransport::CloseHandle(DeviceHandle handle) {
    const std::string disk = DiskOf(handle);
    inner_->CloseHandle(handle);
    {
        const std::lock_guard lock(mutex_);
        codes_.erase(handle);
    }
    Write("CLOSE disk=" + disk);
}

std::optional<OpenFailure> TraceTransport::LastOpenFailure() const {
    return inner_->LastOpenFailure();
}

std::size_t TraceTransport::DroppedLines() const {
    const std::lock_guard lock(mutex_);
    return dropped_;
}

std::string TraceTransport::DiskOf(DeviceHandle handle) const {
    const std::lock_guard lock(mutex_);
    const auto it = codes_.find(handle);
    // A handle the trace never saw opened is written as "?", so that a caller
    // using a stale handle shows up in the trace rather than as some disk.
    return it == codes_.end() ? "?" : DeviceCodeText(it->second);
}

void TraceTransport::Write(const std::string& line) {
    const std::lock_guard lock(mutex_);
    std::FILE* f = std::fopen(file_.string().c_str(), "a");
    if (f == nullptr) {
        ++dropped_;
        return;
    }
    const bool written = std::fputs(line.c_str(), f) >= 0 && std::fputc('\n', f) != EOF;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        ++dropped_;
    }
}

std::unique_ptr<Transport> MakeTracedIfRequested(std::unique_ptr<Transport> inner,
                                                 const char* traceFile) {
    if (traceFile == nullptr || *traceFile == '\0') {
        return inner;
    }
    return std::make_unique<TraceTransport>(std::move(inner), traceFile);
}

}  // namespace raid
