#include "host/parameters.h"

#include <cstring>

#include "format/decimal_text.h"
#include "host/host_calls.h"
#include "platform/ascii_case.h"
#include "settings/prefs_record.h"
#include "settings/shared_prefs.h"

namespace serix {
namespace {

bool MatchesAt(const char* text, const char* needle, std::int32_t needleLength, bool exact) {
  for (std::int32_t i = 0; i < needleLength; ++i) {
    const bool same = exact ? text[i] == needle[i] : FoldAscii(text[i]) == FoldAscii(needle[i]);
    if (!same) return false;
  }
  return true;
}

void CopyCut(char* buffer, int capacity, const char* source, std::int64_t length) {
  const std::int64_t kept = length < capacity ? length : capacity;
  std::memcpy(buffer, source, static_cast<std::size_t>(kept));
  buffer[kept] = '\0';
}

}  // namespace

std::int32_t FindText(const char* text, std::int32_t textLength, const char* needle,
                      std::int32_t needleLength, std::int32_t start, std::int32_t occurrence,
                      bool exact) {
  const std::int64_t lastOffset = std::int64_t{textLength} - needleLength;
  std::int32_t matches = 0;
  for (std::int64_t offset = start < 0 ? 0 : start; offset <= lastOffset; ++offset) {
    if (MatchesAt(text + offset, needle, needleLength, exact) && ++matches == occurrence) {
      return static_cast<std::int32_t>(offset);
    }
  }
  return -1;
}

bool ContainsOption(const char* parameter, const char* keyword) {
  return FindText(parameter, static_cast<std::int32_t>(std::strlen(parameter)), keyword,
                  static_cast<std::int32_t>(std::strlen(keyword)), 0, 1, false) >= 0;
}

bool ReadNextParameter(HostHandle argumentHandle, char* buffer, int capacity,
                       ParameterCursor& cursor) {
  if (cursor == 0) LoadPrefs();
  buffer[0] = '\0';
  if (cursor < 0) return true;

  const char* token = GetSeparatorToken();
  const auto tokenLength = static_cast<std::int32_t>(std::strlen(token));

  HostLockHandle(argumentHandle);
  if (HostMemoryError() != 0) {
    HostUnlockHandle(argumentHandle);
    return false;
  }

  const char* text = *argumentHandle;
  const std::int64_t size = HostGetHandleSize(argumentHandle);
  const std::int64_t remaining = size - cursor;
  if (remaining <= 0) {
    cursor = kArgumentUsedUp;
  } else {
    const char* rest = text + cursor;
    const std::int32_t remainingLength =
        remaining > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(remaining);
    const std::int32_t found = FindText(rest, remainingLength, token, tokenLength, 0, 1, true);
    if (found < 0) {
      CopyCut(buffer, capacity, rest, remainingLength);
      cursor = kArgumentUsedUp;
    } else {
      CopyCut(buffer, capacity, rest, found);
      const std::int64_t next = std::int64_t{cursor} + found + tokenLength;
      cursor = next > INT32_MAX ? kArgumentUsedUp : static_cast<ParameterCursor>(next);
    }
  }
  HostUnlockHandle(argumentHandle);
  return true;
}

std::int32_t SetResultText(const char* text, HostHandle resultHandle) {
  const std::size_t length = std::strlen(text);
  const std::int16_t error = HostResizeAndLock(resultHandle, static_cast<std::uint32_t>(length));
  if (error != 0) return error;
  std::memcpy(*resultHandle, text, length);
  return HostUnlockHandle(resultHandle);
}

std::int32_t SetResultCode(const char* prefix, std::int32_t code, HostHandle resultHandle) {
  if (code == 0) return SetResultText("0", resultHandle);
  constexpr std::size_t kCodeTextSize = 100;
  char codeText[kCodeTextSize];
  std::size_t length = std::strlen(prefix);
  if (length > kCodeTextSize - 1 - format::kMaxDecimalLength) {
    length = kCodeTextSize - 1 - format::kMaxDecimalLength;
  }
  std::memcpy(codeText, prefix, length);
  length += static_cast<std::size_t>(format::WriteDecimal(codeText + length, code));
  codeText[length] = '\0';
  return SetResultText(codeText, resultHandle);
}

}  // namespace serix
