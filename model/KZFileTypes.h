#pragma once
// The fixed table from file-name extension to type identifier and file-type category, the
// same on every distribution.

#include <cstdint>
#include <string_view>

namespace kz {
struct FileTypeInfo {
    std::string_view identifier; // "" for index 0 (unknown)
    int8_t category;             // KZFileType
};
// Index of the extension in the table (matched without regard to ASCII case); 0 when unknown.
uint8_t fileTypeIndexForExtension(std::string_view extension);
const FileTypeInfo& fileTypeInfo(uint8_t index);
} // namespace kz
