#pragma once

#include "run_error.h"

#include "expected.h"
#include <string>
#include <string_view>

namespace kulverant {

/// Whose file-name rules apply. A value rather than an #ifdef, so that the
/// Windows rules are exercised on every build machine.
enum class PathStyle { Posix, Windows };

#ifdef _WIN32
inline constexpr PathStyle hostPathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle hostPathStyle = PathStyle::Posix;
#endif

inline constexpr std::string_view fixedFileName = "Kulverant.txt";
inline constexpr std::string_view keyedFileSuffix = ".txt";

/// The fixed message file in a message directory that ends in its separator.
std::string fixedMessagePath(std::string_view messageDirectory);

/// The keyed message file: directory + first word + ".txt", joined unchanged.
/// A first word that would lead out of the message directory, or that the
/// platform would not store as an ordinary file, is refused with error 52.
Expected<std::string, RunError> keyedMessagePath(std::string_view messageDirectory,
                                                      std::string_view firstWord,
                                                      PathStyle style = hostPathStyle);

/// Why a file name must not be written although a file answers to it, or
/// nothing. Windows also finds a file by its short (8.3) name: '1234~Y4T.txt'
/// reaches '1234567890.txt', the file of another first word, which a start
/// must never overwrite. Takes the name asked for and the long and short
/// names that the directory lists for the file found.
std::string shortNameRefusal(std::string_view requestedName, std::string_view longName,
                             std::string_view shortName, PathStyle style = hostPathStyle);

} // namespace kulverant
