#pragma once
// The settings-file engine: the three profile operations both programs use, over the classic
// "[section]" / "key=value" text format with CR LF line ends.
//
// Section and key names are byte strings in the file's encoding (code page 932 for the
// Japanese key names: see text_encoding.h).

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace pellarin {

// The value of `key` in `section`, with blanks at both ends and one pair of enclosing quotes
// removed, cut to bufferSize - 1 bytes. A missing file, section or key gives defaultValue
// without the blanks at its end, cut the same way. A file that is not one-byte text (UTF-16)
// reads as missing. Nothing in the file's place (a pipe, a device) makes a read wait.
std::string readProfileString(std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferSize,
                              const std::filesystem::path& file);

// The leading integer of the value (optional sign, decimal digits); 0 when the value starts with
// no digit; defaultValue only when the key is missing. Numbers beyond int are held at its limits.
int readProfileInt(std::string_view section, std::string_view key, int defaultValue,
                   const std::filesystem::path& file);

// Stores value under key, creating the file, the section or the key as needed and leaving every
// other byte of the file as it was. The file is replaced atomically, and is readable and
// writable by its owner alone afterwards (a new file and a rewritten one alike; a rewritten
// file keeps its owner where the process may set it). Returns false, and changes nothing, when
// the write cannot be done safely (a value holding CR or LF, an unreadable file, a UTF-16 file,
// a folder or a pipe in the file's place, a full disk).
//
// Names are cut to 128 characters (by reads too, so what is written can be read back) and must
// not be empty or hold CR, LF or NUL; a section name must not hold "]" nor end in a lone lead
// byte of code page 932, and a key must not hold "=" nor start with "[" or ";", since the line
// would read back as something else. A symbolic link is written through only to an existing
// file in the link's own folder (the link stays, the file it names is replaced); a link that
// leads out of its folder, or nowhere, is refused. A file the caller may not write is refused
// even where its folder would allow replacing it. Temporary files that killed writes to the
// same file left behind are removed; those of writes still under way are not.
bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::filesystem::path& file);

}  // namespace pellarin
