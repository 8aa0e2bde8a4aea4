#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FileServices.h"

namespace tolvane {

// Text that stays in memory while small and moves to an anonymous temporary file once it
// grows past a limit, so that a large cover sheet or items file is held once, on disk, on its
// way to its output file and to the history row, rather than copied in memory at every step.
class SpillBuffer {
  public:
    static constexpr std::size_t kDefaultLimit = 1024 * 1024;

    explicit SpillBuffer(std::size_t limit = kDefaultLimit) : limit_(limit) {}
    SpillBuffer(SpillBuffer&& other) noexcept;
    SpillBuffer& operator=(SpillBuffer&& other) noexcept;
    SpillBuffer(const SpillBuffer&) = delete;
    SpillBuffer& operator=(const SpillBuffer&) = delete;

    // Fails (75) when the temporary file cannot be written.
    void Append(std::string_view bytes);
    void Clear();

    std::uint64_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool spilled() const { return file_ != nullptr; }

    // The content in order, in pieces that never split a UTF-8 character.
    void ForEachPiece(const std::function<void(std::string_view)>& use) const;
    // The whole content at once, for small texts.
    std::string str() const;

  private:
    std::size_t limit_;
    std::string memory_;
    platform::TemporaryFile file_;
    std::uint64_t size_ = 0;
};

}  // namespace tolvane
