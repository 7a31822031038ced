#include "platform/paradox/Source.h"

#include "platform/paradox/Paradox.h"

#include <cstring>
#include <utility>

namespace paradox {

MemoryBytes::MemoryBytes(std::string name, std::string bytes)
    : name_(std::move(name)), bytes_(std::move(bytes)) {}

void MemoryBytes::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > bytes_.size() || n > bytes_.size() - offset)
        failShortRead(*this, offset, n);
    if (n)
        std::memcpy(buffer, bytes_.data() + offset, n);
}

void failShortRead(const ByteSource& source, std::uint64_t offset, std::size_t n) {
    throw Error(source.name() + ": the file ends before offset " + std::to_string(offset + n) +
                " (it is " + std::to_string(source.size()) + " bytes long)");
}

} // namespace paradox
