// Untrusted bytes (file names, key and value names, values, message texts) in a line shown to a
// person: the messages and listings of the command line, the session's error texts and the
// stores' messages.
#pragma once

#include <string>
#include <string_view>

namespace serix::host {

// The bytes with every control character written as an escape (\r, \n, \t, else \xHH): the C0
// controls, DEL, the C1 controls as UTF-8 encodes them, and bytes that are not UTF-8 (a lone
// 0x9B is a control sequence to some terminals). Printable ASCII and other UTF-8 characters,
// backslashes included, stay as they are, so that the text stays one line that sends no
// escape sequence to the terminal.
std::string TerminalLine(std::string_view bytes);

// Bytes that each stand for one character (a session's texts, code page bytes as code points):
// the C0 controls and DEL escaped as TerminalLine escapes them, every other byte kept. The
// session writes its responses in ASCII with \u escapes, so no byte reaches a terminal raw.
std::string ControlsEscaped(std::string_view bytes);

}  // namespace serix::host
