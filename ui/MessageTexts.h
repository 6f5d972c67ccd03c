#pragma once

// Every text the editor shows in a message box, exactly as the program
// stores it: texts begin and end with two blanks, and a line break is
// followed by two blanks.

namespace kestra::texts
{

constexpr const char* boxTitle = "Kestra Editor";

} // namespace kestra::texts
