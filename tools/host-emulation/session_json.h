// The JSON of the session protocol: nlohmann-json in every host program, and in the playground
// page's module (built with SERIX_SMALL_JSON) small_json.h, which reads and writes the same at a
// small part of its size. session_protocol.cpp uses only what both offer.
#pragma once

#include <string>
#include <string_view>

#if SERIX_SMALL_JSON
#include "small_json.h"
#else
#include <nlohmann/json.hpp>
#endif

namespace serix::host {

#if SERIX_SMALL_JSON

using Json = small_json::Value;
using Response = small_json::Value;

inline bool ParseJson(std::string_view text, Json& value, std::string& error) {
  return small_json::Parse(text, value, error);
}

inline const Json* FindMember(const Json& object, std::string_view name) {
  return object.Member(name);
}

#else

using Json = nlohmann::json;
// Responses keep their fields in the order the protocol lists them.
using Response = nlohmann::ordered_json;

inline bool ParseJson(std::string_view text, Json& value, std::string& error) {
  try {
    value = Json::parse(text.begin(), text.end());
    return true;
  } catch (const Json::exception& failure) {
    // "[json.exception.parse_error.101] parse error at ...": the bracketed tag says nothing.
    std::string_view reason = failure.what();
    if (const auto tagEnd = reason.find("] "); tagEnd != std::string_view::npos) {
      reason.remove_prefix(tagEnd + 2);
    }
    error = reason;
    return false;
  }
}

inline const Json* FindMember(const Json& object, std::string_view name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

#endif

}  // namespace serix::host
