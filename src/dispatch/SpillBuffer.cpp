#include "dispatch/SpillBuffer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

#include "common/Failure.h"
#include "common/SystemError.h"
#include "common/Text.h"
#include "platform/FileServices.h"

namespace tolvane {
namespace {

constexpr std::size_t kPiece = 64 * 1024;

[[noreturn]] void TemporaryFileFailure(int error) {
    throw Failure(
        failure_number::kPathFileAccess, "Tolvane",
        "No se pudo usar un archivo temporal para un despacho grande: " + SystemErrorText(error));
}

}  // namespace

SpillBuffer::SpillBuffer(SpillBuffer&& other) noexcept
    : limit_(other.limit_),
      memory_(std::move(other.memory_)),
      file_(std::move(other.file_)),
      size_(std::exchange(other.size_, 0)) {}

SpillBuffer& SpillBuffer::operator=(SpillBuffer&& other) noexcept {
    if (this != &other) {
        Clear();
        limit_ = other.limit_;
        memory_ = std::move(other.memory_);
        file_ = std::move(other.file_);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void SpillBuffer::Append(std::string_view bytes) {
    if (file_ == nullptr && memory_.size() + bytes.size() <= limit_) {
        memory_.append(bytes);
        size_ += bytes.size();
        return;
    }
    if (file_ == nullptr) {
        // Anonymous: removed by the system when closed, also after a crash.
        file_ = platform::OpenTemporaryFile();
        if (file_ == nullptr)
            TemporaryFileFailure(errno);
        if (std::fwrite(memory_.data(), 1, memory_.size(), file_.get()) != memory_.size())
            TemporaryFileFailure(errno);
        std::string().swap(memory_);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
        TemporaryFileFailure(errno);
    size_ += bytes.size();
}

void SpillBuffer::Clear() {
    file_.reset();
    std::string().swap(memory_);
    size_ = 0;
}

void SpillBuffer::ForEachPiece(const std::function<void(std::string_view)>& use) const {
    if (file_ == nullptr) {
        if (!memory_.empty())
            use(memory_);
        return;
    }
    if (std::fflush(file_.get()) != 0 || std::fseek(file_.get(), 0, SEEK_SET) != 0)
        TemporaryFileFailure(errno);
    std::array<char, kPiece> buffer;
    std::size_t carried = 0;  // bytes of a character cut by the previous read
    for (;;) {
        const std::size_t got =
            std::fread(buffer.data() + carried, 1, kPiece - carried, file_.get());
        if (got == 0 && std::ferror(file_.get()) != 0)
            TemporaryFileFailure(errno);
        const std::string_view read(buffer.data(), carried + got);
        const std::size_t whole = got == 0 ? read.size() : text::WholeUtf8Prefix(read);
        if (whole > 0)
            use(read.substr(0, whole));
        carried = read.size() - whole;
        if (got == 0)
            break;
        std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(whole),
                  buffer.begin() + static_cast<std::ptrdiff_t>(read.size()), buffer.begin());
    }
    // Writing goes on at the end.
    if (std::fseek(file_.get(), 0, SEEK_END) != 0)
        TemporaryFileFailure(errno);
}

std::string SpillBuffer::str() const {
    std::string all;
    all.reserve(static_cast<std::size_t>(size_));
    ForEachPiece([&all](std::string_view piece) { all.append(piece); });
    return all;
}

}  // namespace tolvane
