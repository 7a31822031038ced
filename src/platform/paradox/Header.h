#pragma once

// The header of a Paradox .db file: geometry, fields, encryption key and the
// facts that decide the code page.

#include "platform/paradox/Paradox.h"
#include "platform/paradox/Source.h"

#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

struct FieldLayout {
    std::uint8_t code = 0; // the type byte of the field array
    std::uint8_t size = 0; // the size byte (decimals for BCD)
    FieldType type = FieldType::Alpha;
    std::size_t offset = 0; // within the record
    std::size_t width = 0;  // bytes in the record
    std::string rawName;    // bytes in the table's code page
};

struct TableHeader {
    std::uint16_t recordSize = 0;
    std::uint16_t headerSize = 0;
    std::uint8_t fileType = 0;
    std::uint8_t versionId = 0;
    std::uint32_t blockSize = 0;
    std::uint32_t numRecords = 0;
    std::uint16_t usedBlocks = 0;
    std::uint16_t firstBlock = 0;
    std::uint32_t key = 0;  // 0 when the table is not encrypted
    int storedCodePage = 0; // 0 when the header names none (always for 3.x)
    std::string sortOrderName;
    std::vector<FieldLayout> fields;
    std::vector<std::string> warnings;

    bool encrypted() const { return key != 0; }
};

// Reads and checks the header; throws Error naming the file and the fault.
TableHeader readHeader(const ByteSource& file);

// The ADO type code reported for a field type.
int adoTypeOf(FieldType type);

// A readable version name ("3.0", "5.x", ...) for a version id.
std::string versionName(int versionId);

} // namespace paradox
