#pragma once
// QString from a UTF-8 literal: the windows' texts are written in UTF-8.

#include <QString>

namespace kitemail {

[[nodiscard]] inline QString Q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace kitemail
