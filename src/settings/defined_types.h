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

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

class Profile;
struct Settings;

inline constexpr std::string_view kDefinedTypesSection = "TerminalTypes";
// A name fits a type box and a history header line.
inline constexpr std::size_t kMaxDefinedTypeNameBytes = 64;

// The types the file names, in number order. A value out of its range
// reads as the default a new type gets.
[[nodiscard]] std::vector<DefinedType> ReadDefinedTypes(const Profile& profile);
// Writes every key of each type, and an empty name for a type the profile
// holds that the list does not (deleted), so that a save removes it and only
// it. Writes nothing for an empty list on a file without the section.
void WriteDefinedTypes(Profile& profile, const std::vector<DefinedType>& types);

// The editing rules every editor of the list keeps (the settings dialog and
// the command line); messages are code page 932, for the user.

// Why d cannot stand in settings as it is, or nullopt. Its name must be
// new among the ten's texts and the other defined names (the history names
// a mail's type by it), a limit of at least 1 byte must be above the fixed
// overhead, and a subject or attachments are counted only where the main
// window offers them.
// d.type is the number d has or will have.
[[nodiscard]] std::optional<std::string> DefinedTypeProblem(const Settings& settings, const DefinedType& d);
// Adds d under the lowest free number and returns it; nullopt (and no
// change) when d has a problem or every number is taken.
[[nodiscard]] std::optional<TerminalType> AddDefinedType(Settings& settings, DefinedType d);
// Replaces the type of d's number; false (no change) when there is none or
// d has a problem.
[[nodiscard]] bool ReplaceDefinedType(Settings& settings, const DefinedType& d);
// The names of the address-book entries whose type is t, in list order.
[[nodiscard]] std::vector<std::string> EntriesUsingType(const Settings& settings, TerminalType t);
// Removes t; the entries of type t and a DefaultType of t become
// unspecified. False when t is not a defined type.
bool DeleteDefinedType(Settings& settings, TerminalType t);

} // namespace kitemail
