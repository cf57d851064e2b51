#include "expectations.h"

#include <algorithm>
#include <stdexcept>

namespace serix::acceptance {
namespace {

constexpr std::size_t kShownLength = 120;

std::string Shown(const Json& value) {
  std::string text = value.dump(-1, ' ', true);
  if (text.size() > kShownLength) text = text.substr(0, kShownLength) + "...";
  return text;
}

// Characters (code points) of a UTF-8 text: every byte that does not continue a sequence.
std::size_t CodePoints(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

bool IsMacro(const Json& value) {
  return value.is_object() && (value.contains("$repeat") || value.contains("$concat"));
}

bool IsMatcher(const Json& value) {
  if (!value.is_object() || value.empty()) return false;
  return std::all_of(value.items().begin(), value.items().end(),
                     [](const auto& item) { return item.key().starts_with("$"); });
}

std::string TypeName(const Json& value) {
  if (value.is_string()) return "string";
  if (value.is_number()) return "number";
  if (value.is_boolean()) return "boolean";
  if (value.is_array()) return "array";
  if (value.is_object()) return "object";
  return "null";
}

bool StartsWith(const Json& actual, const Json& part) {
  if (actual.is_string() && part.is_string()) {
    return actual.get_ref<const std::string&>().starts_with(part.get_ref<const std::string&>());
  }
  if (actual.is_array() && part.is_array()) {
    return part.size() <= actual.size() && std::equal(part.begin(), part.end(), actual.begin());
  }
  return false;
}

bool EndsWith(const Json& actual, const Json& part) {
  if (actual.is_string() && part.is_string()) {
    return actual.get_ref<const std::string&>().ends_with(part.get_ref<const std::string&>());
  }
  if (actual.is_array() && part.is_array()) {
    return part.size() <= actual.size() &&
           std::equal(part.begin(), part.end(), actual.end() - static_cast<long>(part.size()));
  }
  return false;
}

bool Contains(const Json& actual, const Json& part) {
  if (actual.is_string() && part.is_string()) {
    return actual.get_ref<const std::string&>().find(part.get_ref<const std::string&>()) !=
           std::string::npos;
  }
  if (actual.is_array()) return std::find(actual.begin(), actual.end(), part) != actual.end();
  return false;
}

std::size_t Occurrences(const std::string& text, const std::string& needle) {
  if (needle.empty()) return 0;
  std::size_t count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at)) {
    ++count;
    at += needle.size();
  }
  return count;
}

// Whether `actual` satisfies one matcher key; throws for a matcher the runner does not know.
bool Holds(const std::string& key, const Json& argument, const Json& actual) {
  if (key == "$length") {
    if (actual.is_string()) return CodePoints(actual.get_ref<const std::string&>()) == argument;
    return actual.is_array() && actual.size() == argument;
  }
  if (key == "$starts_with") return StartsWith(actual, argument);
  if (key == "$ends_with") return EndsWith(actual, argument);
  if (key == "$contains") return Contains(actual, argument);
  if (key == "$count") {
    if (!argument.is_array() || argument.size() != 2 || !argument[0].is_string()) {
      throw std::invalid_argument("\"$count\" takes [TEXT, N]");
    }
    return actual.is_string() &&
           Occurrences(actual.get_ref<const std::string&>(),
                       argument[0].get_ref<const std::string&>()) == argument[1];
  }
  if (key == "$type") return TypeName(actual) == argument;
  throw std::invalid_argument("unknown matcher \"" + key + "\"");
}

void Compare(const std::string& path, const Json& expected, const Json& actual,
             std::vector<std::string>& mismatches) {
  if (IsMatcher(expected)) {
    for (const auto& [key, argument] : expected.items()) {
      if (!Holds(key, argument, actual)) {
        mismatches.push_back(path + ": expected " + key + " " + Shown(argument) + ", got " +
                             Shown(actual));
      }
    }
    return;
  }
  if (expected.is_array() && actual.is_array() && expected.size() == actual.size()) {
    for (std::size_t at = 0; at < expected.size(); ++at) {
      Compare(path + "[" + std::to_string(at) + "]", expected[at], actual[at], mismatches);
    }
    return;
  }
  if (expected.is_object() && actual.is_object() && expected.size() == actual.size()) {
    for (const auto& [key, value] : expected.items()) {
      const auto found = actual.find(key);
      if (found == actual.end()) {
        mismatches.push_back(path + ": expected " + Shown(expected) + ", got " + Shown(actual));
        return;
      }
      Compare(path + "." + key, value, *found, mismatches);
    }
    return;
  }
  if (expected.is_array() && actual.is_array()) {
    // Lists of different lengths: name the first element that differs.
    const auto differ =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto at = static_cast<std::size_t>(std::distance(expected.begin(), differ.first));
    mismatches.push_back(
        path + ": expected " + std::to_string(expected.size()) + " elements, got " +
        std::to_string(actual.size()) + "; first difference at [" + std::to_string(at) +
        "]: expected " + (differ.first == expected.end() ? "nothing" : Shown(*differ.first)) +
        ", got " + (differ.second == actual.end() ? "nothing" : Shown(*differ.second)));
    return;
  }
  if (expected != actual) {
    mismatches.push_back(path + ": expected " + Shown(expected) + ", got " + Shown(actual));
  }
}

void FindWideTexts(const std::string& path, const Json& value, std::vector<std::string>& found) {
  const auto wide = [](const std::string& text) {
    // UTF-8 of a code point above 255 starts with a byte above 0xC3.
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) > 0xC3; });
  };
  if (value.is_string()) {
    if (wide(value.get_ref<const std::string&>())) found.push_back(path);
  } else if (value.is_array()) {
    for (std::size_t at = 0; at < value.size(); ++at) {
      FindWideTexts(path + "[" + std::to_string(at) + "]", value[at], found);
    }
  } else if (value.is_object()) {
    for (const auto& [key, item] : value.items()) {
      if (wide(key)) found.push_back(path + " key " + Shown(Json(key)));
      FindWideTexts(path + "." + key, item, found);
    }
  }
}

}  // namespace

Json ExpandMacros(const Json& value) {
  if (IsMacro(value)) {
    if (value.contains("$repeat")) {
      const Json text = ExpandMacros(value.at("$repeat"));
      const Json& times = value.value("times", Json());
      if (!text.is_string() || !times.is_number_unsigned() || value.size() != 2) {
        throw std::invalid_argument("write {\"$repeat\": TEXT, \"times\": N}");
      }
      std::string repeated;
      const auto count = times.get<std::size_t>();
      repeated.reserve(text.get_ref<const std::string&>().size() * count);
      for (std::size_t at = 0; at < count; ++at) repeated += text.get_ref<const std::string&>();
      return repeated;
    }
    const Json& parts = value.at("$concat");
    if (!parts.is_array() || value.size() != 1) {
      throw std::invalid_argument("write {\"$concat\": [TEXT, ...]}");
    }
    std::string joined;
    for (const Json& part : parts) {
      const Json text = ExpandMacros(part);
      if (!text.is_string()) throw std::invalid_argument("\"$concat\" joins texts only");
      joined += text.get_ref<const std::string&>();
    }
    return joined;
  }
  if (value.is_array()) {
    Json expanded = Json::array();
    for (const Json& item : value) expanded.push_back(ExpandMacros(item));
    return expanded;
  }
  if (value.is_object()) {
    Json expanded = Json::object();
    for (const auto& [key, item] : value.items()) expanded[key] = ExpandMacros(item);
    return expanded;
  }
  return value;
}

std::vector<std::string> Mismatches(const Json& expected, const Json& actual) {
  std::vector<std::string> mismatches;
  if (!actual.is_object()) {
    mismatches.push_back("the response is not a JSON object: " + Shown(actual));
    return mismatches;
  }
  for (const auto& [key, value] : expected.items()) {
    const auto found = actual.find(key);
    if (found == actual.end()) {
      mismatches.push_back("\"" + key + "\" is missing from the response " + Shown(actual));
    } else {
      Compare("\"" + key + "\"", value, *found, mismatches);
    }
  }
  return mismatches;
}

std::vector<std::string> WideTexts(const Json& value) {
  std::vector<std::string> found;
  FindWideTexts("response", value, found);
  return found;
}

}  // namespace serix::acceptance
