// Bytes as JSON text: byte b travels as the code point b (0 to 255), one to one, so that every
// byte of a code page 1252 text, and any other byte, crosses the session protocol unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace serix::host {

// The UTF-8 form of the code points that are the bytes.
std::string BytesToCodePoints(std::string_view bytes);

// The bytes that the code points of a UTF-8 text stand for; none when the text is not valid
// UTF-8 or holds a code point above 255.
std::optional<std::string> CodePointsToBytes(std::string_view utf8);

}  // namespace serix::host
