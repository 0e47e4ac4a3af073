#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvel {

// The characters a packet uses for the bytes of the log's texts that are
// not UTF-8. The log's texts are bytes: a text table is read one byte a
// character, as the system's ANSI code page (Windows-1252) has it.

// The character a single byte stands for: Windows-1252, Latin-1 for the
// five codes Windows-1252 leaves unused (0x81, 0x8D, 0x8F, 0x90, 0x9D), and
// the control pictures U+2400 to U+241F for the control characters that
// XML cannot hold at all.
char32_t ByteCharacter(unsigned char byte);

// The byte a character reference in a packet stands for: the inverse of
// ByteCharacter above 0x7F and for the pictures, the code itself below
// 0x80; nothing for every other character (it is read as UTF-8).
std::optional<unsigned char> CharacterByte(char32_t code);

// The length of the UTF-8 character that starts text[at], when it is a
// well-formed one that XML may hold; 0 when text[at] starts none (a stray
// continuation byte, a cut or overlong sequence, a surrogate, U+FFFE or
// U+FFFF). ASCII counts as one.
std::size_t XmlUtf8Length(std::string_view text, std::size_t at);

// Appends the UTF-8 bytes of one character.
void AppendUtf8Character(char32_t code, std::string& out);

}  // namespace corvel
