// The module's string table as data, for the portable build and for tests that compare the
// DLL's resources with what they should be.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "resources/resource_texts.h"

namespace serix::resources {

struct StringEntry {
  std::uint32_t id;
  std::string_view text;
};

inline constexpr std::array<StringEntry, 8> kStringTable{{
    {SERIX_IDS_PLUGIN_NAME, SERIX_TEXT_PLUGIN_NAME},
    {SERIX_IDS_PLUGIN_DESCRIPTION,
     SERIX_TEXT_PLUGIN_DESCRIPTION_LINE1 "\n" SERIX_TEXT_PLUGIN_DESCRIPTION_LINE2},
    {SERIX_IDS_FEATURE_STRING, SERIX_TEXT_FEATURE_STRING},
    {SERIX_IDS_FUNCTION_VERSION, SERIX_TEXT_FUNCTION_VERSION},
    {SERIX_IDS_FUNCTION_CREATE_RANGE, SERIX_TEXT_FUNCTION_CREATE_RANGE},
    {SERIX_IDS_FUNCTION_OPTIONS, SERIX_TEXT_FUNCTION_OPTIONS},
    {SERIX_IDS_PREFS_ERROR_CAPTION, SERIX_TEXT_PLUGIN_NAME},
    {SERIX_IDS_RANGE_WARNING_CAPTION, SERIX_TEXT_PLUGIN_NAME},
}};

// The text of a string id, or an empty view when the table has no such string.
constexpr std::string_view FindString(std::uint32_t id) {
  for (const StringEntry& entry : kStringTable) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

struct VersionField {
  std::string_view name;
  std::string_view value;
};

inline constexpr std::array<VersionField, 6> kVersionFields{{
    {"CompanyName", SERIX_VERSION_COMPANY_NAME},
    {"FileDescription", SERIX_VERSION_FILE_DESCRIPTION},
    {"FileVersion", SERIX_VERSION_FILE_VERSION_TEXT},
    {"InternalName", SERIX_VERSION_INTERNAL_NAME},
    {"LegalCopyright", SERIX_VERSION_LEGAL_COPYRIGHT},
    {"OriginalFilename", SERIX_VERSION_ORIGINAL_FILENAME},
}};
inline constexpr std::string_view kFileVersionNumbers = "1.0.0.0";
inline constexpr std::string_view kProductVersionNumbers = "0.0.0.0";

}  // namespace serix::resources
