#include "platform/paradox/Header.h"

#include "platform/paradox/Bytes.h"

#include <algorithm>
#include <cstring>

namespace paradox {

namespace {

using bytes::le16;
using bytes::le32;

constexpr std::size_t fixedPart = 0x58;
constexpr std::size_t extendedPart = 0x78;

struct TypeInfo {
    std::uint8_t code;
    FieldType type;
    int fixedSize; // 0 when the size byte gives the width
};

constexpr TypeInfo typeInfos[] = {
    {0x01, FieldType::Alpha, 0},         {0x02, FieldType::Date, 4},
    {0x03, FieldType::Short, 2},         {0x04, FieldType::Long, 4},
    {0x05, FieldType::Money, 8},         {0x06, FieldType::Number, 8},
    {0x09, FieldType::Logical, 1},       {0x0C, FieldType::Memo, 0},
    {0x0D, FieldType::BinaryBlob, 0},    {0x0E, FieldType::FormattedMemo, 0},
    {0x0F, FieldType::Ole, 0},           {0x10, FieldType::Graphic, 0},
    {0x14, FieldType::Time, 4},          {0x15, FieldType::Timestamp, 8},
    {0x16, FieldType::AutoIncrement, 4}, {0x17, FieldType::Bcd, 17},
    {0x18, FieldType::Bytes, 0},
};

[[noreturn]] void fail(const ByteSource& file, const std::string& what) {
    throw Error(file.name() + ": " + what);
}

const TypeInfo* findType(std::uint8_t code) {
    for (const TypeInfo& info : typeInfos)
        if (info.code == code)
            return &info;
    return nullptr;
}

bool isBlob(FieldType type) {
    return type == FieldType::Memo || type == FieldType::BinaryBlob ||
           type == FieldType::FormattedMemo || type == FieldType::Ole || type == FieldType::Graphic;
}

void checkFileKind(const ByteSource& file, std::uint8_t fileType, std::uint8_t versionId) {
    if (fileType == 1 || (fileType >= 3 && fileType <= 8))
        fail(file,
             "this is an index file, not a table (file type " + std::to_string(fileType) + ")");
    if (fileType != 0 && fileType != 2)
        fail(file, "not a Paradox table (file type byte " + std::to_string(fileType) + ")");
    if (versionId < 3 || versionId > 15)
        fail(file, "not a Paradox table or an unsupported version (version id " +
                       std::to_string(versionId) + ")");
}

// Width in the record of a field, after checking its size byte.
std::size_t checkedWidth(const ByteSource& file, const TypeInfo& info, std::uint8_t size,
                         std::size_t index) {
    const std::string where = "field " + std::to_string(index + 1) + ": ";
    if (info.type == FieldType::Bcd) {
        if (size > 32)
            fail(file, where + "BCD with " + std::to_string(size) + " decimals (at most 32)");
        return 17;
    }
    if (info.fixedSize != 0) {
        if (size != info.fixedSize)
            fail(file, where + "size " + std::to_string(size) + " does not fit its type");
        return size;
    }
    const std::size_t least = info.type == FieldType::Memo ? 11 : isBlob(info.type) ? 10 : 1;
    if (size < least)
        fail(file, where + "size " + std::to_string(size) + " is too small for its type");
    return size;
}

void readFields(const ByteSource& file, const std::vector<std::uint8_t>& head, std::size_t arrayAt,
                TableHeader& header, std::size_t count) {
    std::size_t offset = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t code = head[arrayAt + 2 * i];
        const std::uint8_t size = head[arrayAt + 2 * i + 1];
        const TypeInfo* info = findType(code);
        if (!info)
            fail(
                file, "field " + std::to_string(i + 1) + " has the unknown type code 0x" + [&] {
                    static const char digits[] = "0123456789ABCDEF";
                    return std::string{digits[code >> 4], digits[code & 15]};
                }());
        FieldLayout field;
        field.code = code;
        field.size = size;
        field.type = info->type;
        field.offset = offset;
        field.width = checkedWidth(file, *info, size, i);
        offset += field.width;
        header.fields.push_back(std::move(field));
    }
    if (offset != header.recordSize)
        fail(file, "the fields take " + std::to_string(offset) + " bytes but a record has " +
                       std::to_string(header.recordSize) + " (damaged header)");
}

// Reads a NUL-terminated string at pos, moving pos past the NUL; false when
// no NUL comes before the end.
bool readCString(const std::vector<std::uint8_t>& head, std::size_t& pos, std::string& out) {
    const auto begin = head.begin() + static_cast<std::ptrdiff_t>(std::min(pos, head.size()));
    const auto nul = std::find(begin, head.end(), 0);
    if (nul == head.end())
        return false;
    out.assign(begin, nul);
    pos = static_cast<std::size_t>(nul - head.begin()) + 1;
    return true;
}

void readNames(const ByteSource& file, const std::vector<std::uint8_t>& head, std::size_t namesAt,
               bool hasSortOrder, TableHeader& header) {
    std::size_t pos = namesAt;
    for (std::size_t i = 0; i < header.fields.size(); ++i)
        if (!readCString(head, pos, header.fields[i].rawName))
            fail(file, "the name of field " + std::to_string(i + 1) +
                           " runs past the end of the header (damaged header)");
    if (!hasSortOrder)
        return;
    pos += 2 * header.fields.size();
    if (pos >= head.size() || !readCString(head, pos, header.sortOrderName)) {
        header.sortOrderName.clear();
        header.warnings.push_back("no sort-order name after the field names");
    }
}

} // namespace

TableHeader readHeader(const ByteSource& file) {
    if (file.size() < fixedPart)
        fail(file, "too short to be a Paradox table (" + std::to_string(file.size()) + " bytes)");
    std::vector<std::uint8_t> head(fixedPart);
    file.readAt(0, head.data(), head.size());

    TableHeader header;
    header.recordSize = le16(&head[0x00]);
    header.headerSize = le16(&head[0x02]);
    header.fileType = head[0x04];
    header.versionId = head[0x39];
    checkFileKind(file, header.fileType, header.versionId);
    if (header.versionId >= 13)
        header.warnings.push_back("version id " + std::to_string(header.versionId) +
                                  " is newer than any known; read as 7.x");

    const bool v4 = header.versionId >= 5;
    const std::size_t arrayAt = v4 ? extendedPart : fixedPart;
    const int maxTableSize = head[0x05];
    const int numFields = static_cast<std::int16_t>(le16(&head[0x21]));
    if (maxTableSize < 1 || maxTableSize > 32)
        fail(file, "block size byte " + std::to_string(maxTableSize) + " is out of range 1 to 32");
    header.blockSize = static_cast<std::uint32_t>(maxTableSize) * 1024;
    if (numFields < 1 || numFields > 255)
        fail(file, "field count " + std::to_string(numFields) + " is out of range 1 to 255");
    if (header.recordSize == 0 || header.recordSize > header.blockSize - 6)
        fail(file, "record size " + std::to_string(header.recordSize) +
                       " does not fit a block of " + std::to_string(header.blockSize) + " bytes");

    const std::size_t n = static_cast<std::size_t>(numFields);
    const std::size_t tableNameSize = header.versionId >= 12 ? 261 : 79;
    const std::size_t namesAt = arrayAt + 6 * n + 4 + tableNameSize;
    if (header.headerSize < namesAt)
        fail(file, "header size " + std::to_string(header.headerSize) + " is too small for " +
                       std::to_string(n) + " fields (damaged header)");
    if (header.headerSize > file.size())
        fail(file, "the file is truncated: its header needs " + std::to_string(header.headerSize) +
                       " bytes but the file has " + std::to_string(file.size()));
    head.resize(header.headerSize);
    file.readAt(0, head.data(), head.size());

    header.numRecords = le32(&head[0x06]);
    header.usedBlocks = le16(&head[0x0A]);
    header.firstBlock = le16(&head[0x0E]);
    header.key = le32(&head[0x25]);
    if (v4 && header.key == 0xFF00FF00)
        header.key = le32(&head[0x5C]);
    if (v4)
        header.storedCodePage = le16(&head[0x6A]);
    if (head[0x14] != 0 || head[0x2A] != 0)
        header.warnings.push_back("the table is marked as needing a rebuild");

    readFields(file, head, arrayAt, header, n);
    readNames(file, head, namesAt, v4, header);
    return header;
}

int adoTypeOf(FieldType type) {
    switch (type) {
    case FieldType::Alpha:
        return adVarChar;
    case FieldType::Date:
        return adDBDate;
    case FieldType::Short:
        return adSmallInt;
    case FieldType::Long:
    case FieldType::AutoIncrement:
        return adInteger;
    case FieldType::Number:
    case FieldType::Money:
    case FieldType::Bcd:
        return adDouble;
    case FieldType::Logical:
        return adBoolean;
    case FieldType::Memo:
    case FieldType::FormattedMemo:
        return adLongVarChar;
    case FieldType::BinaryBlob:
    case FieldType::Ole:
    case FieldType::Graphic:
        return adLongVarBinary;
    case FieldType::Time:
    case FieldType::Timestamp:
        return adDBTimeStamp;
    case FieldType::Bytes:
        return adBinary;
    }
    return adVarChar;
}

std::string versionName(int versionId) {
    switch (versionId) {
    case 3:
        return "3.0";
    case 4:
        return "3.5";
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
        return "4.x";
    case 10:
    case 11:
        return "5.x";
    default:
        return "7.x";
    }
}

} // namespace paradox
