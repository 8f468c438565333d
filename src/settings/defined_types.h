#pragma once
// The terminal types the user defines, as the [TerminalTypes] section of
// Kiteml.ini keeps them. Each type N (10 and on) is a group of keys:
//
//   NameN          its name, code page 932; an empty or missing name: no type N
//   LimitN         the limit in bytes
//   FixedN         the fixed overhead in bytes
//   SenderN        0 none, 1 the whole sender, 2 at most 55 bytes, 3 up to the "@"
//   SubjectN       0 none, 1 its bytes, 2 its bytes and shift bytes, a flat 40 over 40 bytes
//   ShiftsN        3 bytes per shift sequence of body and subject: 0 never, 1 always,
//                  2 with the 3Byte setting
//   AttachmentsN   0 none, 1 the file sizes, 2 size + full path + 20 each
//   FinalBreakN    1: 2 bytes more for a body that ends double-byte (with option 12)
//   SubjectBoxN, PinBoxN, AttachmentBoxN, AnimationBoxN   1: the main window offers it
//
// A program that does not know the section leaves it alone and reads an
// address-book entry of type N as unspecified.

#include "accounting/terminal_type.h"

#include <vector>

namespace kitemail {

class Profile;

inline constexpr std::string_view kDefinedTypesSection = "TerminalTypes";

// The types the file names, in number order. A value out of its range
// reads as the default a new type gets.
[[nodiscard]] std::vector<DefinedType> ReadDefinedTypes(const Profile& profile);
// Writes every key of each type, and an empty name for a type the profile
// holds that the list does not (deleted), so that a save removes it and only
// it. Writes nothing for an empty list on a file without the section.
void WriteDefinedTypes(Profile& profile, const std::vector<DefinedType>& types);

} // namespace kitemail
